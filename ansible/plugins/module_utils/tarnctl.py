# -*- coding: utf-8 -*-
# Copyright: 2026 TARN Manager developers
# GNU General Public License v3.0+ (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)
"""What the tarn.manager modules share: their common options, running tarnctl with the password
on its standard input, reading its JSON (schema 2), and judging a run by each device's outcome."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import csv
import io
import json
import os
import re
import shutil
import tempfile

JSON_SCHEMA = 2

# A device's outcome that is no failure (docs/fleet.md: `skipped` counts as success).
SUCCEEDED = ('ok', 'skipped')

COMMON_ARGS = dict(
    tarnctl=dict(type='str', default='tarnctl'),
    broadcast=dict(type='str'),
    device_port=dict(type='int'),
    data_dir=dict(type='path'),
    wait_ms=dict(type='int'),
    id=dict(type='str'),
    password=dict(type='str', no_log=True),
)

SELECTION_ARGS = dict(
    mac=dict(type='list', elements='str'),
    name=dict(type='str'),
    product=dict(type='str'),
    version=dict(type='str'),
)

FLEET_ARGS = dict(
    spacing_ms=dict(type='int'),
    allow_partial=dict(type='bool', default=False),
)


def argument_spec(*extra):
    arguments = dict(COMMON_ARGS)
    for more in extra:
        arguments.update(more)
    return arguments


class Tarnctl:
    """tarnctl on the managed host, given the module's common options."""

    def __init__(self, module):
        self.module = module
        p = module.params
        path = p['tarnctl']
        self.path = path if os.sep in path else module.get_bin_path(path, required=True)
        password = p.get('password')
        if password is not None and ('\n' in password or '\r' in password):
            module.fail_json(msg='password: a line end cannot be part of a password')

    def discovery(self, probe=False):
        """--broadcast, --device-port, --wait and --data-dir, where given."""
        p = self.module.params
        args = []
        for option, key in (('--broadcast', 'broadcast'), ('--device-port', 'device_port'),
                            ('--wait', 'wait_ms'), ('--data-dir', 'data_dir')):
            if p.get(key) is not None:
                args += [option, str(p[key])]
        if not probe and p.get('spacing_ms') is not None:
            args += ['--spacing', str(p['spacing_ms'])]
        return args

    def selection(self):
        p = self.module.params
        args = []
        for mac in p.get('mac') or []:
            args += ['--mac', mac]
        for option in ('name', 'product', 'version'):
            if p.get(option) is not None:
                args += ['--' + option, p[option]]
        return args

    def run(self, args, credentials=False):
        """Runs tarnctl ARGS; the password, when there is one, goes to its standard input
        (--password-file -), never onto its command line. Returns (rc, stdout, stderr)."""
        p = self.module.params
        command = [self.path] + list(args)
        data = None
        if credentials:
            if p.get('id') is not None:
                command += ['--id', p['id']]
            if p.get('password') is not None:
                command += ['--password-file', '-']
                data = p['password']
        return self.module.run_command(command, data=data, binary_data=False, encoding='utf-8',
                                       errors='surrogate_or_strict')

    def document(self, rc, out, err):
        """The JSON document tarnctl printed, or None when it printed none."""
        text = out.strip()
        if not text:
            return None
        try:
            document = json.loads(text)
        except ValueError:
            self.module.fail_json(msg='tarnctl printed no JSON: %s' % (message(err, rc) or text[:200]), rc=rc)
        if not isinstance(document, dict) or document.get('schema', JSON_SCHEMA) != JSON_SCHEMA:
            self.module.fail_json(msg='tarnctl printed JSON of another schema than %d; this collection reads '
                                      'schema %d (docs/json.md)' % (JSON_SCHEMA, JSON_SCHEMA), rc=rc)
        return document

    def fleet(self, args):
        """Runs a fleet command with --json; returns (rc, outcomes, stderr). A run that printed no
        index (a bad argument, a table refused, nothing selected) fails the module with tarnctl's
        message."""
        rc, out, err = self.run(['fleet'] + list(args) + ['--json'], credentials=True)
        document = self.document(rc, out, err)
        if document is None or rc not in (0, 1):
            self.module.fail_json(msg=message(err, rc), rc=rc, devices=(document or {}).get('devices', []),
                                  messages=lines(err))
        return rc, document.get('devices', []), err

    def read_rows(self, folder, device_args, rows):
        """Reads the devices DEVICE_ARGS selects, by a backup into FOLDER (which then holds the
        devices' passwords: the caller removes it). Returns tarnctl's exit status, the outcomes, per
        MAC the text of each of ROWS as the parameter list shows it (without its unit), and what
        tarnctl said on its error output."""
        backup = os.path.join(folder, 'read')
        rc, outcomes, err = self.fleet(['backup', backup] + self.discovery() + device_args)
        values = {}
        if any(o.get('file') for o in outcomes):
            export_rc, out, export_err = self.run(['fleet', 'export', backup, '--csv', '--only', ','.join(rows)] +
                                                  self.data_dir())
            if export_rc != 0:
                self.module.fail_json(msg=message(export_err, export_rc), rc=export_rc, devices=outcomes)
            header, table = parse_table(out)
            values = dict((mac, dict(zip(header, cells))) for mac, cells in table.items())
        for o in outcomes:
            o.pop('file', None)
        return rc, outcomes, values, err

    def data_dir(self):
        d = self.module.params.get('data_dir')
        return ['--data-dir', d] if d is not None else []


def message(err, rc):
    text = (err or '').strip()
    return text if text else 'tarnctl exited %s' % rc


def lines(err):
    return [line for line in (err or '').splitlines() if line.strip()]


def canonical_mac(mac):
    return mac.strip().upper().replace('-', ':')


def parse_table(text):
    """A site table (CSV, first column MAC) as (columns, {MAC: [cells]}). Reads what a spreadsheet
    saves: a byte order mark, CRLF or LF, quoted cells."""
    if text.startswith('\ufeff'):
        text = text[1:]
    rows = [r for r in csv.reader(io.StringIO(text)) if any(cell.strip() for cell in r)]
    if not rows:
        return [], {}
    columns = rows[0][1:]
    table = {}
    for r in rows[1:]:
        table[canonical_mac(r[0])] = (r[1:] + [''] * len(columns))[:len(columns)]
    return columns, table


def read_table_file(path):
    """A site table file as tarnctl reads it: UTF-8, else Latin-1."""
    with open(path, 'rb') as f:
        raw = f.read()
    try:
        return parse_table(raw.decode('utf-8'))
    except UnicodeDecodeError:
        return parse_table(raw.decode('latin-1'))


def write_table(path, columns, cells_by_mac):
    """Writes a site table: one line per MAC, a blank cell for a row the device keeps."""
    with open(path, 'w', newline='', encoding='utf-8') as f:
        w = csv.writer(f, lineterminator='\r\n')
        w.writerow(['MAC'] + list(columns))
        for mac, cells in cells_by_mac.items():
            w.writerow([mac] + [cells.get(c, '') for c in columns])


class PrivateFolder:
    """A folder of the module's own, readable by its owner only, removed with what it holds."""

    def __init__(self, module):
        self.module = module

    def __enter__(self):
        self.path = tempfile.mkdtemp(prefix='tarn-', dir=self.module.tmpdir)
        return self.path

    def __exit__(self, *exc):
        shutil.rmtree(self.path, ignore_errors=True)
        return False


def blank(cell):
    return cell.strip(' \t') == ''


# "2 rows differ: Location, Local port" (a dry run), "set 2 rows" / "set 1 row, rebooted" (done).
DIFFERS = re.compile(r'^(\d+) rows? differs?: (.*)$')
WROTE = re.compile(r'^set (\d+) rows?\b')


def would_change(outcome, dry_run):
    """Whether a device's outcome says rows were set (or, in a dry run, differ)."""
    if outcome.get('status') != 'ok':
        return False
    return bool((DIFFERS if dry_run else WROTE).match(outcome.get('message', '')))


def row_changes(outcome, wanted, before, dry_run):
    """The rows a device's outcome says were set (would be, in a dry run), each with its value
    before and after. WANTED holds the rows the device was sent, which tarnctl compares by the
    parameter's own rule ("10.0.0.1" and "010.0.0.1" are one address); where the outcome names
    fewer rows, a dry run's message says which."""
    if not would_change(outcome, dry_run):
        return []
    changes = [dict(row=row, before=before.get(row, ''), after=value) for row, value in wanted.items()]
    m = (DIFFERS if dry_run else WROTE).match(outcome['message'])
    count = int(m.group(1))
    if dry_run and count != len(changes):
        labels = m.group(2).split(', ')
        named = [c for c in changes
                 if any(label == c['row'] or label.startswith(c['row'] + ' (') for label in labels)]
        if len(named) == count:
            changes = named
    return changes


def diff_of(devices):
    """Ansible's --diff: per device that changed, its rows before and after."""
    diff = []
    for d in devices:
        if not d.get('changes'):
            continue
        header = '%s %s' % (d.get('mac', ''), d.get('name', ''))
        diff.append(dict(before_header=header, after_header=header,
                         before=''.join('%s: %s\n' % (c['row'], c['before']) for c in d['changes']),
                         after=''.join('%s: %s\n' % (c['row'], c['after']) for c in d['changes'])))
    return diff


def finish(module, rc, err, devices, changed, **result):
    """Ends the module by the devices' outcomes: any failed device fails the run, unless
    allow_partial is set and at least one device succeeded. A run that tarnctl failed without a
    failed device (pwd.ini not written, stopped) fails with tarnctl's message. A result with a
    non-zero rc is a failure to Ansible: rc is returned on failure only."""
    failed = [d for d in devices if d.get('status') not in SUCCEEDED]
    result.update(changed=changed, devices=devices, messages=lines(err))
    if failed and (not module.params.get('allow_partial') or len(failed) == len(devices)):
        shown = ['%s (%s) %s: %s' % (d.get('mac', ''), d.get('name', ''), d.get('status', ''), d.get('message', ''))
                 for d in failed[:10]]
        more = '; and %d more' % (len(failed) - 10) if len(failed) > 10 else ''
        module.fail_json(msg='%d of %d devices failed: %s%s' % (len(failed), len(devices), '; '.join(shown), more),
                         rc=rc, **result)
    if rc not in (0, 1) or (rc == 1 and not failed):
        module.fail_json(msg=message(err, rc), rc=rc, **result)
    if failed:
        module.warn('%d of %d devices failed (allow_partial)' % (len(failed), len(devices)))
    module.exit_json(**result)
