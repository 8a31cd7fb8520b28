# -*- coding: utf-8 -*-
# Copyright: 2026 TARN Manager developers
# GNU General Public License v3.0+ (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: backup
short_description: Back up the TARN devices of a site into a folder on its host
description:
  - Runs C(tarnctl fleet backup DEST --json) on the managed host. Each selected device that gives its
    values is written to C(DEST/<MAC>.CNF) (the bytes C(tarnctl cnf save) writes; they restore the device
    with C(tarnctl cnf load FILE --apply)), and C(DEST/fleet.json) indexes the outcome of every device.
  - I(dest) must be a new or empty folder; one that holds an earlier backup is refused and nothing is
    written. Back up into a new, dated folder each time.
  - The folder is made readable by its owner only, and each file too, since the backups hold each device's own
    user ID and password.
  - In check mode the devices are read into a private folder that is removed at once, and nothing is
    written to I(dest); the result says which devices would be backed up.
version_added: 0.1.0
author: TARN Manager developers
options:
  dest:
    description:
      - The folder on the managed host that takes the backup.
    type: path
    required: true
extends_documentation_fragment:
  - tarn.manager.common
  - tarn.manager.common.selection
  - tarn.manager.common.fleet
attributes:
  check_mode:
    description: Reads the devices; writes nothing into I(dest).
    support: full
  diff_mode:
    description: A backup changes no device; there is no diff.
    support: none
notes:
  - C(changed) is true when files were written.
  - Use M(ansible.builtin.fetch) on I(files) and I(index) to bring the backup to the controller.
'''

EXAMPLES = r'''
- name: Back up every device of the site into a dated folder
  tarn.manager.backup:
    dest: "/var/backups/tarn/{{ ansible_date_time.date }}"
  register: backup

- name: Bring the backup to the controller
  ansible.builtin.fetch:
    src: "{{ item }}"
    dest: "backups/{{ inventory_hostname }}/"
    flat: true
  loop: "{{ backup.files + [backup.index] }}"

- name: Back up the gateways only, and go on when one is off
  tarn.manager.backup:
    dest: /var/backups/tarn/gateways
    product: TARN-GW
    allow_partial: true
'''

RETURN = r'''
devices:
  description: One outcome per selected device, as C(fleet.json) holds it (tarnctl's JSON, schema 2).
  returned: always
  type: list
  elements: dict
  sample:
    - mac: "02:00:00:00:17:61"
      name: Pump-1
      address: 127.0.17.61
      product: TARN-IO
      productId: 74
      version: "1.1"
      status: ok
      file: 02-00-00-00-17-61.CNF
      message: ""
  contains:
    status:
      description: C(ok), C(refused), C(no-reply), C(no-definitions), C(failed), C(duplicate) (two devices answer with one MAC), C(cancelled), ...
      type: str
    file:
      description: The file written for the device, in I(dest); empty when none was (in check mode, the file that would be).
      type: str
    message:
      description: Why the device failed.
      type: str
files:
  description: The paths of the C(.CNF) files written (none in check mode).
  returned: always
  type: list
  elements: str
index:
  description: The path of C(fleet.json) in I(dest) (not written in check mode).
  returned: always
  type: str
messages:
  description: What tarnctl said on its error output.
  returned: always
  type: list
  elements: str
rc:
  description: tarnctl's exit status.
  returned: on failure
  type: int
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tarn.manager.plugins.module_utils.tarnctl import (
    FLEET_ARGS, SELECTION_ARGS, PrivateFolder, Tarnctl, argument_spec, finish)


def main():
    module = AnsibleModule(argument_spec=argument_spec(SELECTION_ARGS, FLEET_ARGS,
                                                       dict(dest=dict(type='path', required=True))),
                           supports_check_mode=True)
    ctl = Tarnctl(module)
    dest = module.params['dest']
    options = ctl.discovery() + ctl.selection()
    if module.check_mode:
        with PrivateFolder(module) as folder:
            rc, devices, err = ctl.fleet(['backup', os.path.join(folder, 'check')] + options)
    else:
        rc, devices, err = ctl.fleet(['backup', dest] + options)
    written = [os.path.join(dest, d['file']) for d in devices if d.get('file')]
    finish(module, rc, err, devices, bool(written), files=[] if module.check_mode else written,
           index=os.path.join(dest, 'fleet.json'))


if __name__ == '__main__':
    main()
