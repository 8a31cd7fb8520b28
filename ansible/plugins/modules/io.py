# -*- coding: utf-8 -*-
# Copyright: 2026 TARN Manager developers
# GNU General Public License v3.0+ (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: io
short_description: Read a TARN device's I/O status, or switch its outputs
description:
  - Reads the status of the device's 10 outputs, 12 inputs and 4 ADC ports over its I/O link
    (C(tarnctl io --host HOST --port PORT status --json)).
  - With I(outputs), switches each listed output that is not in the asked state yet
    (C(tarnctl io ... switch N on|off)); an output already in that state gets no command.
  - Check mode sends no switch; it reports which outputs would change. Diff mode gives each listed
    output's state before and after.
version_added: 0.1.0
author: TARN Manager developers
options:
  host:
    description:
      - The device's address (its "IP address" parameter).
    type: str
    required: true
  port:
    description:
      - The device's I/O port, its "Local port" parameter.
    type: int
    required: true
  outputs:
    description:
      - From output number (1 to 10) to C(on) or C(off). YAML reads a bare C(on) as a boolean; both are taken.
    type: dict
  broadcast:
    description: Not used by the I/O link.
    type: str
  device_port:
    description: Not used by the I/O link.
    type: int
  wait_ms:
    description: Not used by the I/O link, which waits 3000 ms for each reply.
    type: int
  id:
    description: Not used by the I/O link, which takes no credentials.
    type: str
  password:
    description: Not used by the I/O link, which takes no credentials.
    type: str
extends_documentation_fragment:
  - tarn.manager.common
attributes:
  check_mode:
    description: Reads the status; sends no switch.
    support: full
  diff_mode:
    description: Each listed output's state before and after.
    support: full
notes:
  - The module takes the common options so that C(module_defaults) of the group C(tarn.manager.all) apply to it;
    only I(tarnctl) is used.
  - C(changed) is true only when an output changed state. An output run by a macro, a delay or a pulse
    reports that state (C(macro), C(delay-on), C(delay-off), C(pulse)) rather than C(on) or C(off).
'''

EXAMPLES = r'''
- name: Read the pump station's inputs
  tarn.manager.io:
    host: 10.20.0.15
    port: 502
  register: station

- name: Start the pumps on outputs 1 and 2, stop the alarm on output 10
  tarn.manager.io:
    host: 10.20.0.15
    port: 502
    outputs:
      1: "on"
      2: "on"
      10: "off"
'''

RETURN = r'''
status:
  description: The device's status after the last command (tarnctl's JSON, schema 2), the port states as
    state codes (0 on, 1 on with a level, 2 off, 4 delay on, 5 delay off, 6 macro, 7 pulse).
  returned: always
  type: dict
  sample:
    adc: [{code: 1, value: 115}, {code: 1, value: 476}, {code: 1, value: 912}, {code: 1, value: 561}]
    inputs: [2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2]
    outputs: [0, 2, 2, 2, 2, 2, 2, 2, 2, 2]
    schema: 2
outputs:
  description: The ten outputs' states by name (C(on), C(off), C(macro), ...), after the switches
    (in check mode, as they would be).
  returned: always
  type: list
  elements: str
  sample: ["on", "off", "off", "off", "off", "off", "off", "off", "off", "off"]
switched:
  description: The outputs switched (in check mode, that would be), by number.
  returned: always
  type: list
  elements: int
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tarn.manager.plugins.module_utils.tarnctl import Tarnctl, argument_spec, lines, message

STATES = {0: 'on', 1: 'on', 2: 'off', 3: 'unknown', 4: 'delay-on', 5: 'delay-off', 6: 'macro', 7: 'pulse'}


def wanted_outputs(module):
    wanted = {}
    for number, state in (module.params['outputs'] or {}).items():
        try:
            n = int(number)
        except ValueError:
            n = 0
        if not 1 <= n <= 10:
            module.fail_json(msg="outputs: '%s' is no output (1 to 10)" % number)
        if isinstance(state, bool):
            state = 'on' if state else 'off'
        state = str(state).lower()
        if state not in ('on', 'off'):
            module.fail_json(msg="outputs: output %d can be on or off, not '%s'" % (n, state))
        wanted[n] = state
    return wanted


def main():
    module = AnsibleModule(argument_spec=argument_spec(dict(host=dict(type='str', required=True),
                                                            port=dict(type='int', required=True),
                                                            outputs=dict(type='dict'))),
                           supports_check_mode=True)
    wanted = wanted_outputs(module)
    ctl = Tarnctl(module)
    link = ['io', '--host', module.params['host'], '--port', str(module.params['port'])]

    def io(*command):
        rc, out, err = ctl.run(link + list(command) + ['--json'])
        status = ctl.document(rc, out, err) if rc == 0 else None
        if status is None or not isinstance(status.get('outputs'), list) or len(status['outputs']) != 10:
            module.fail_json(msg=message(err, rc), rc=rc, messages=lines(err))
        return status

    status = io('status')
    before = [STATES.get(code, 'unknown') for code in status['outputs']]
    after = list(before)
    switched = []
    for n, state in sorted(wanted.items()):
        if before[n - 1] == state:
            continue
        if module.check_mode:
            after[n - 1] = state
            switched.append(n)
            continue
        status = io('switch', str(n), state)
        after = [STATES.get(code, 'unknown') for code in status['outputs']]
        if after[n - 1] != before[n - 1]:
            switched.append(n)
    result = dict(changed=bool(switched), status=status, outputs=after, switched=switched)
    if module._diff and wanted:
        result['diff'] = dict(before=''.join('output %d: %s\n' % (n, before[n - 1]) for n in sorted(wanted)),
                              after=''.join('output %d: %s\n' % (n, after[n - 1]) for n in sorted(wanted)))
    module.exit_json(**result)


if __name__ == '__main__':
    main()
