# -*- coding: utf-8 -*-
# Copyright: 2026 TARN Manager developers
# GNU General Public License v3.0+ (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: probe
short_description: List the TARN devices of a site
description:
  - Runs C(tarnctl probe --json) on the managed host and returns every device that answers.
  - Sets the fact C(tarn_devices) to the same list.
  - Never changes anything.
version_added: 0.1.0
author: TARN Manager developers
options:
  address:
    description:
      - Probe only these addresses, by unicast, as Quick Connect does (tarnctl C(probe --address)), given as
        addresses, ranges such as C(10.1.2.10-10.1.2.50) and blocks such as C(10.1.2.0/24).
      - Without it the probe goes to the broadcast address.
    type: list
    elements: str
  max_devices:
    description:
      - Keep at most this many devices (tarnctl C(--max-devices)); replies past it are counted in I(messages).
    type: int
  id:
    description:
      - Not used by the probe, which needs no credentials.
    type: str
  password:
    description:
      - Not used by the probe, which needs no credentials.
    type: str
extends_documentation_fragment:
  - tarn.manager.common
attributes:
  check_mode:
    description: The probe changes nothing; it runs in check mode too.
    support: full
  diff_mode:
    description: Nothing changes, so there is no diff.
    support: none
notes:
  - A probe that no device answers fails with tarnctl's message ("no device answered the probe").
'''

EXAMPLES = r'''
- name: List every device of the site
  tarn.manager.probe:
    broadcast: 10.20.255.255

- name: Probe a block of addresses on a routed network
  tarn.manager.probe:
    address:
      - 10.1.2.10-10.1.2.50
      - 10.1.3.0/24

- name: Name the devices that run an old firmware
  ansible.builtin.debug:
    msg: "{{ tarn_devices | selectattr('version', 'equalto', '1.0') | map(attribute='name') | list }}"
'''

RETURN = r'''
devices:
  description: Every device that answered, with the keys of tarnctl's JSON (schema 2).
  returned: always
  type: list
  elements: dict
  sample:
    - address: 127.0.23.1
      addressingKind: 1
      foundByTypedAddress: false
      mac: "02:00:00:00:23:01"
      name: Tank-1
      product: TARN-IO
      productId: 74
      version: "1.1"
  contains:
    address:
      description: The device's IPv4 address.
      type: str
    mac:
      description: Its MAC address.
      type: str
    name:
      description: Its name (Latin-1 bytes as characters).
      type: str
    product:
      description: The product's name from prodid.ini, or the product id when prodid.ini has none.
      type: str
    productId:
      description: The product id.
      type: int
    version:
      description: Its firmware version.
      type: str
    addressingKind:
      description: 1 the device has an address, 2 it is reached by MAC only.
      type: int
    foundByTypedAddress:
      description: It answered a probe to a typed I(address).
      type: bool
    conflictAddress:
      description: Present when another address answers with the same MAC; no credential goes to either.
      type: str
ansible_facts:
  description: The fact C(tarn_devices), the same list as I(devices).
  returned: on success
  type: dict
messages:
  description: What tarnctl said on its error output (a reply that could not be read, ...).
  returned: always
  type: list
  elements: str
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tarn.manager.plugins.module_utils.tarnctl import Tarnctl, argument_spec, lines, message


def main():
    module = AnsibleModule(argument_spec=argument_spec(dict(address=dict(type='list', elements='str'),
                                                            max_devices=dict(type='int'))),
                           supports_check_mode=True)
    ctl = Tarnctl(module)
    args = ['probe', '--json'] + ctl.discovery(probe=True)
    if module.params['address']:
        args += ['--address', ','.join(module.params['address'])]
    if module.params['max_devices'] is not None:
        args += ['--max-devices', str(module.params['max_devices'])]
    rc, out, err = ctl.run(args)
    devices = (ctl.document(rc, out, err) or {}).get('devices', [])
    if rc != 0:
        module.fail_json(msg=message(err, rc), rc=rc, devices=devices, messages=lines(err))
    module.exit_json(changed=False, devices=devices, messages=lines(err), ansible_facts=dict(tarn_devices=devices))


if __name__ == '__main__':
    main()
