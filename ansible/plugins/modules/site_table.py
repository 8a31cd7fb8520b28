# -*- coding: utf-8 -*-
# Copyright: 2026 TARN Manager developers
# GNU General Public License v3.0+ (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: site_table
short_description: Give each TARN device of a site its own values from a site table
description:
  - Runs C(tarnctl fleet apply --values SRC --json) on the managed host. The site table (CSV, one line
    per device, the first column C(MAC), one column per row; docs/site-tables.md) is checked as a whole
    against the devices that answer before anything is sent; a table that is refused fails the task with
    tarnctl's list of problems and sends nothing.
  - Each listed device is read, and only its rows whose value differs are set. A blank cell leaves a row
    alone.
  - Check mode is C(--dry-run), so the devices are read and nothing is sent. Diff mode also reads the listed
    devices first (a backup into a private folder, removed at once) and gives, per device and row, the
    value before and after.
version_added: 0.1.0
author: TARN Manager developers
options:
  src:
    description:
      - The site table, a CSV file on the managed host (copy it there first, e.g. with M(ansible.builtin.copy)).
    type: path
    required: true
  reboot:
    description:
      - Reboot each device that took a set, so that a new name or address takes effect. Not in check mode.
    type: bool
    default: false
extends_documentation_fragment:
  - tarn.manager.common
  - tarn.manager.common.fleet
attributes:
  check_mode:
    description: C(--dry-run); the devices are read, nothing is sent.
    support: full
  diff_mode:
    description: Per device that changed (would change), each row's value before and after.
    support: full
notes:
  - C(changed) is true only when a device took a set (in check mode, when a row would change).
'''

EXAMPLES = r'''
- name: Copy the site's table to its host
  ansible.builtin.copy:
    src: "tables/{{ inventory_hostname }}.csv"
    dest: /var/lib/tarn/site.csv
    mode: "0600"

- name: Give each device its own name, address and location, and reboot those that changed
  tarn.manager.site_table:
    src: /var/lib/tarn/site.csv
    reboot: true
    spacing_ms: 0
'''

RETURN = r'''
devices:
  description: One outcome per device the table lists (tarnctl's JSON, schema 2).
  returned: always
  type: list
  elements: dict
  sample:
    - mac: "02:00:00:00:23:05"
      name: Pump-5
      address: 127.0.23.5
      product: TARN-IO
      productId: 74
      version: "1.1"
      status: ok
      message: set 2 rows, rebooted
      changed: true
      changes:
        - row: Device name
          before: Pump-5
          after: Pump-S3
  contains:
    status:
      description: C(ok), C(refused), C(no-reply), C(no-definitions), C(failed), C(duplicate) (two devices answer with one MAC), C(cancelled), ...
      type: str
    message:
      description: "What was done (C(set 2 rows, rebooted), C(2 rows differ: Device name, IP address), C(no row differs)) or why it failed."
      type: str
    changed:
      description: The device took a set (in check mode, a row would change).
      type: bool
    changes:
      description: In diff mode, the rows set (that would be set), each with its value before and after.
      type: list
      elements: dict
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
    FLEET_ARGS, PrivateFolder, Tarnctl, argument_spec, blank, canonical_mac, diff_of, finish, read_table_file,
    row_changes, would_change)


def main():
    module = AnsibleModule(argument_spec=argument_spec(FLEET_ARGS, dict(src=dict(type='path', required=True),
                                                                        reboot=dict(type='bool', default=False))),
                           supports_check_mode=True)
    ctl = Tarnctl(module)
    src = module.params['src']
    if not os.path.isfile(src):
        module.fail_json(msg="src: no file '%s' on the managed host" % src)
    dry_run = module.check_mode
    wanted, now, read_err = {}, {}, ''
    with PrivateFolder(module) as folder:
        if module._diff:
            columns, table = read_table_file(src)
            wanted = dict((mac, dict((c, v) for c, v in zip(columns, cells) if not blank(v)))
                          for mac, cells in table.items())
            if wanted and columns:
                macs = [arg for mac in wanted for arg in ('--mac', mac)]
                _, _, now, read_err = ctl.read_rows(folder, macs, columns)
        extra = ['--dry-run'] if dry_run else (['--reboot'] if module.params['reboot'] else [])
        rc, devices, err = ctl.fleet(['apply', '--values', src] + extra + ctl.discovery())
    for d in devices:
        mac = canonical_mac(d.get('mac', ''))
        d.pop('file', None)
        d['changed'] = would_change(d, dry_run)
        cells = dict((row, value) for row, value in wanted.get(mac, {}).items() if now.get(mac, {}).get(row) != value)
        d['changes'] = row_changes(d, cells, now.get(mac, {}), dry_run) if module._diff else []
    result = dict(diff=diff_of(devices)) if module._diff else {}
    finish(module, rc, read_err + err, devices, any(d['changed'] for d in devices), **result)


if __name__ == '__main__':
    main()
