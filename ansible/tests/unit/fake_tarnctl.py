#!/usr/bin/env python3
# A small stand-in for tarnctl: a site of a few devices kept in a JSON file ($FAKE_TARNCTL_SITE),
# enough of probe, fleet backup/export/apply --values and io status/switch, with tarnctl's JSON
# (schema 2) and exit statuses. Every call is logged to $FAKE_TARNCTL_LOG with its standard input.
import csv
import fnmatch
import json
import os
import re
import sys

site_path = os.environ['FAKE_TARNCTL_SITE']
site = json.load(open(site_path))
devices, argv = site['devices'], sys.argv[1:]
stdin = sys.stdin.readline() if '--password-file' in argv else ''
with open(os.environ['FAKE_TARNCTL_LOG'], 'a') as log:
    log.write(json.dumps(dict(argv=argv, stdin=stdin)) + '\n')


def option(name, many=False):
    found = [argv[i + 1] for i, a in enumerate(argv[:-1]) if a == name]
    return found if many else (found[-1] if found else None)


def end(rc, document=None, err=''):
    if document is not None:
        print(json.dumps(dict(document, schema=2)))
        rc = site.get('exit', rc)  # a knob: tarnctl's exit status whatever the outcomes
    sys.stderr.write(err)
    sys.exit(rc)


def outcome(d, status, message='', file=''):
    keys = dict((k, d.get(k, '')) for k in ('mac', 'name', 'address', 'product', 'productId', 'version'))
    return dict(keys, status=status, message=message, file=file)


def reach(d):
    """The outcome of a device that cannot be worked on, else None."""
    if d.get('fault') == 'no-reply':
        return outcome(d, 'no-reply', 'No reply')
    if d.get('password', 'admin') != (stdin.rstrip('\n') if option('--password-file') == '-' else None):
        return outcome(d, 'refused', 'Error occured. Try again !!')


def index(outcomes):
    end(0 if all(o['status'] == 'ok' for o in outcomes) else 1, dict(devices=outcomes))


def normalised(value):  # the parameter's own rule, as far as a test needs it: 010.0.0.1 is 10.0.0.1
    return re.sub(r'\b0+(\d)', r'\1', value)


if argv[0] == 'probe':
    if not devices:
        end(2, dict(devices=[]), 'tarnctl: no device answered the probe\n')
    end(0, dict(devices=[dict(outcome(d, ''), addressingKind=1) for d in devices]))

if argv[:2] == ['fleet', 'backup']:
    folder = argv[2]
    if os.path.exists(os.path.join(folder, 'fleet.json')):
        end(2, err='tarnctl: %s holds an earlier backup (fleet.json). Back up into a new or empty folder: '
                   'nothing was written.\n' % folder)
    macs, glob, product = option('--mac', True), option('--name'), option('--product')
    os.makedirs(folder, mode=0o700, exist_ok=True)
    outcomes = []
    for d in devices:
        if (macs and d['mac'] not in macs) or (glob and not fnmatch.fnmatchcase(d['name'], glob)) or \
                (product and product.lower() != d['product'].lower()):
            continue
        name = d['mac'].replace(':', '-') + '.CNF'
        outcomes.append(reach(d) or outcome(d, 'ok', file=name))
        if outcomes[-1]['file']:
            json.dump(d['values'], open(os.path.join(folder, name), 'w'))
    json.dump(dict(schema=2, devices=outcomes), open(os.path.join(folder, 'fleet.json'), 'w'))
    index(outcomes)

if argv[:2] == ['fleet', 'export']:
    rows, out = option('--only').split(','), csv.writer(sys.stdout, lineterminator='\r\n')
    out.writerow(['MAC'] + rows)
    for name in sorted(f for f in os.listdir(argv[2]) if f.endswith('.CNF')):
        values = json.load(open(os.path.join(argv[2], name)))
        out.writerow([name[:-4].replace('-', ':')] + [values.get(r, '') for r in rows])
    sys.exit(0)

if argv[:2] == ['fleet', 'apply']:
    table = list(csv.reader(open(option('--values'), encoding='utf-8-sig')))
    columns, by_mac, outcomes = table[0][1:], dict((d['mac'], d) for d in devices), []
    for cells in table[1:]:
        d = by_mac.get(cells[0].upper().replace('-', ':'), dict(mac=cells[0], fault='no-reply'))
        unknown = [c for c, cell in zip(columns, cells[1:]) if cell.strip() and c not in d.get('values', {c: 0})]
        if unknown:
            end(2, err="tarnctl: nothing was sent:\nline 2, column 2 (%s): the device has no parameter '%s'\n"
                       % (unknown[0], unknown[0]))
        outcomes.append(reach(d))
        if outcomes[-1]:
            continue
        differ = [(c, v) for c, v in zip(columns, cells[1:]) if v.strip() and normalised(d['values'][c]) != normalised(v)]
        if not differ:
            message = 'no row differs'
        elif '--dry-run' in argv:
            message = '%d %s: %s' % (len(differ), 'row differs' if len(differ) == 1 else 'rows differ',
                                     ', '.join(c for c, _ in differ))
        else:
            d['values'].update(differ)
            message = 'set %d %s%s' % (len(differ), 'row' if len(differ) == 1 else 'rows',
                                       ', rebooted' if '--reboot' in argv else '')
        outcomes[-1] = outcome(d, 'ok', message)
    json.dump(site, open(site_path, 'w'))
    index(outcomes)

if argv[0] == 'io':
    if argv[5] == 'switch':
        site['outputs'][int(argv[6]) - 1] = 0 if argv[7] == 'on' else 2
        json.dump(site, open(site_path, 'w'))
    end(0, dict(inputs=[2] * 12, outputs=site['outputs'], adc=[dict(code=1, value=0)] * 4))

end(2, err='tarnctl: the fake does not know %s\n' % ' '.join(argv))
