# -*- coding: utf-8 -*-
# Copyright: 2026 TARN Manager developers
# GNU General Public License v3.0+ (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: params
short_description: Give the selected TARN devices of a site the listed parameter values
description:
  - Reads every selected device first (C(tarnctl fleet backup) into a private folder that is removed
    afterwards, and C(tarnctl fleet export)), then sets on each device only the rows whose value differs,
    through a site table (C(tarnctl fleet apply --values)). A device that already holds every value gets
    no set and no reboot.
  - tarnctl checks every value against each device's parameters before anything is sent; a value a row
    cannot take (C(Local port=99999)) fails the task and nothing is sent.
  - In check mode the devices are read and nothing is sent (C(--dry-run)); the result says which devices
    and rows would change. In diff mode the result gives, per device and row, the value before and after.
version_added: 0.1.0
author: TARN Manager developers
options:
  values:
    description:
      - The values to give every selected device, from a row's name as the parameter list shows it
        (C(Location)) or its id (C(3.1.7)) to the value as the list shows it (C(Roof), C(502), C(Static));
        a unit may be left out.
      - A name that several rows share (C(Input mode) of each input) is refused; give the row's id instead.
      - Give texts that YAML would read as booleans in quotes (C("on")). An empty value cannot be given, since
        a blank cell of a site table leaves a row alone.
    type: dict
    required: true
  reboot:
    description:
      - Reboot each device that took a set, so that a new name or address takes effect. Not in check mode.
    type: bool
    default: false
extends_documentation_fragment:
  - tarn.manager.common
  - tarn.manager.common.selection
  - tarn.manager.common.fleet
attributes:
  check_mode:
    description: Reads the devices and sends nothing; reports the devices and rows that would change.
    support: full
  diff_mode:
    description: Per device that changed (would change), each row's value before and after.
    support: full
notes:
  - Each device's outcome (C(ok), C(refused), C(no-reply), C(no-definitions), C(failed), C(duplicate) (two devices
    answer with one MAC), C(cancelled), ...) is in I(devices).
  - C(changed) is true only when a device took a set (in check mode, when a row would change).
  - Values are compared by tarnctl by each parameter's rule (C(10.0.0.1) and C(010.0.0.1) are one address).
'''

EXAMPLES = r'''
- name: Every TARN-IO of the site reports to the new gateway, at most 4 connections
  tarn.manager.params:
    product: TARN-IO
    values:
      Gateway: 10.20.0.1
      Max connections: 4

- name: Rename one device and reboot it, so that the name takes effect
  tarn.manager.params:
    mac: ["02:00:00:00:23:05"]
    values:
      Device name: Pump-S3
    reboot: true

- name: The pumps' keep-alive, by the row's id; tolerate devices that are off
  tarn.manager.params:
    name: "Pump-*"
    values:
      3.1.9: 300
    spacing_ms: 0
    allow_partial: true
'''

RETURN = r'''
devices:
  description: One outcome per selected device, with the device's keys (tarnctl's JSON, schema 2).
  returned: always
  type: list
  elements: dict
  sample:
    - mac: "02:00:00:00:23:01"
      name: Tank-1
      address: 127.0.23.1
      product: TARN-IO
      productId: 74
      version: "1.1"
      status: ok
      message: set 1 row
      changed: true
      changes:
        - row: Location
          before: Yard
          after: Roof
  contains:
    status:
      description: C(ok), C(refused), C(no-reply), C(no-definitions), C(failed), C(duplicate) (two devices answer with one MAC), C(cancelled), ...
      type: str
    message:
      description: "What was done (C(set 2 rows, rebooted), C(2 rows differ: Location, Gateway), C(no row differs)) or why it failed."
      type: str
    changed:
      description: The device took a set (in check mode, a row would change).
      type: bool
    changes:
      description: The rows set (that would be set), each with its value before and after.
      type: list
      elements: dict
messages:
  description: What tarnctl said on its error output.
  returned: always
  type: list
  elements: str
rc:
  description: The exit status of the last tarnctl run.
  returned: on failure
  type: int
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tarn.manager.plugins.module_utils.tarnctl import (
    FLEET_ARGS, SELECTION_ARGS, PrivateFolder, Tarnctl, argument_spec, blank, canonical_mac, diff_of, finish,
    row_changes, would_change, write_table)


def wanted_values(module):
    """The values as texts, each checked for what a site table can carry."""
    wanted = {}
    for row, value in module.params['values'].items():
        row = str(row).strip()
        if not row or ',' in row or row.upper() == 'MAC':
            module.fail_json(msg="values: '%s' cannot name a row" % row)
        if isinstance(value, bool):
            module.fail_json(msg="values: give the value of '%s' in quotes: YAML read it as %s" % (row, value))
        if value is None or isinstance(value, (dict, list)) or blank(str(value)):
            module.fail_json(msg="values: '%s' needs one value (an empty value would leave the row alone)" % row)
        wanted[row] = str(value)
    if not wanted:
        module.fail_json(msg='values: name at least one row')
    return wanted


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(SELECTION_ARGS, FLEET_ARGS, dict(values=dict(type='dict', required=True),
                                                                     reboot=dict(type='bool', default=False))),
        supports_check_mode=True)
    wanted = wanted_values(module)
    ctl = Tarnctl(module)
    dry_run = module.check_mode
    with PrivateFolder(module) as folder:
        rc, devices, now, err = ctl.read_rows(folder, ctl.selection(), list(wanted))
        # Only the rows whose text differs go into the table; tarnctl then compares those by each
        # parameter's own rule and sends only what really differs.
        sent = {}
        for d in devices:
            mac = canonical_mac(d.get('mac', ''))
            if d.get('status') != 'ok' or mac not in now:
                continue
            cells = dict((row, value) for row, value in wanted.items() if now[mac].get(row) != value)
            if cells:
                sent[mac] = cells
            else:
                d['message'] = 'no row differs'
        if sent:
            table = os.path.join(folder, 'values.csv')
            write_table(table, list(wanted), sent)
            extra = ['--dry-run'] if dry_run else (['--reboot'] if module.params['reboot'] else [])
            apply_rc, applied, apply_err = ctl.fleet(['apply', '--values', table] + extra + ctl.discovery())
            rc, err = max(rc, apply_rc), err + apply_err
            by_mac = dict((canonical_mac(o.get('mac', '')), o) for o in applied)
            devices = [by_mac.pop(canonical_mac(d.get('mac', '')), d) for d in devices] + list(by_mac.values())
    for d in devices:
        mac = canonical_mac(d.get('mac', ''))
        d.pop('file', None)
        d['changed'] = mac in sent and would_change(d, dry_run)
        d['changes'] = row_changes(d, sent.get(mac, {}), now.get(mac, {}), dry_run) if d['changed'] else []
    result = dict(diff=diff_of(devices)) if module._diff else {}
    finish(module, rc, err, devices, any(d['changed'] for d in devices), **result)


if __name__ == '__main__':
    main()
