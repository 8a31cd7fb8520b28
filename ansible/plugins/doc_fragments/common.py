# -*- coding: utf-8 -*-
# Copyright: 2026 TARN Manager developers
# GNU General Public License v3.0+ (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)
"""The options every tarn.manager module takes, the fleet selection, and the fleet run options."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):

    DOCUMENTATION = r'''
options:
  tarnctl:
    description:
      - The tarnctl program on the managed host, a path or a name looked up on its C(PATH).
    type: str
    default: tarnctl
  broadcast:
    description:
      - Where the discovery probe goes (tarnctl C(--broadcast)). tarnctl's default is 255.255.255.255,
        the site's own LAN.
    type: str
  device_port:
    description:
      - UDP port of the devices (tarnctl C(--device-port)); tarnctl's default is 2002.
    type: int
  data_dir:
    description:
      - Folder of C(prodid.ini), the C(.dcf) files and C(pwd.ini) on the managed host (tarnctl C(--data-dir)).
      - Without it tarnctl reads its installed data and keeps C(pwd.ini) in C(~/.config/tarn-manager) of the
        remote user.
    type: path
  wait_ms:
    description:
      - How long the probe collects replies, in milliseconds (tarnctl C(--wait)); tarnctl's default is 1000.
    type: int
  id:
    description:
      - Device ID for the devices that C(pwd.ini) does not know (tarnctl C(--id)). I(id) and I(password) go together.
    type: str
  password:
    description:
      - Device password for the devices that C(pwd.ini) does not know. It reaches tarnctl on its standard
        input (C(--password-file -)), never on a command line, and is never logged. Keep it in a vault.
      - Credentials a device accepts go into C(pwd.ini), as TARN Manager keeps them.
    type: str
notes:
  - The modules run C(tarnctl ... --json) (schema 2) on the managed host, which must be on the site's LAN.
  - The common options are those of the action group C(tarn.manager.all), so that
    C(module_defaults) gives a site's options to every module at once.
requirements:
  - tarnctl (package tarn-manager) on the managed host
'''

    SELECTION = r'''
options:
  mac:
    description:
      - Only these devices, by MAC (C(00:11:22:33:44:61) or C(00-11-22-33-44-61), any case). A MAC
        that no device answers with is the outcome C(no-reply).
    type: list
    elements: str
  name:
    description:
      - Only the devices whose whole name matches this glob (C(*) any run of characters, C(?) one).
    type: str
  product:
    description:
      - Only the devices of this product, by its C(prodid.ini) name in any case (C(tarn-io)) or its id (C(74)).
    type: str
  version:
    description:
      - Only the devices of this firmware version (compared as numbers).
    type: str
notes:
  - Without a selection option every device that answers the probe is selected.
'''

    FLEET = r'''
options:
  spacing_ms:
    description:
      - Milliseconds between the starts of two devices (tarnctl C(--spacing)); tarnctl's default is 100.
        C(0) works a site as fast as its devices answer.
    type: int
  allow_partial:
    description:
      - A run in which some devices failed (any outcome but C(ok) and C(skipped)) fails, unless this is set;
        then it succeeds with a warning, provided at least one device succeeded.
    type: bool
    default: false
notes:
  - C(changed) and the failure follow each device's outcome, never tarnctl's exit status alone.
'''
