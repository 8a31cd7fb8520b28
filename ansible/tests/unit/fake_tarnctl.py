#!/usr/bin/env python3
# A small stand-in for tarnctl: a site of a few devices kept in a JSON file ($FAKE_TARNCTL_SITE),
# enough of probe, fleet backup/export/apply --values and io status/switch, with tarnctl's JSON
# (schema 2) and exit statuses. Every call is logged to $FAKE_TARNCTL_LOG with its standard input.
import csv
import fnmatch
import io
import json
import os
import re
import sys

site_path = os.environ['FAKE_TARNCTL_SITE']
site = json.load(open(site_path))
argv = sys.argv[1:]
stdin = sys.stdin.readline() if '--password-file' in argv else ''
with open(os.environ['FAKE_TARNCTL_LOG'], 'a') as log:
    log.write(json.dumps(dict(argv=argv, stdin=stdin)) + '\n')


def option(name, many=False):
    found = [argv[i + 1] for i, a in enumerate(argv[:-1]) if a == name]
    return found if many else (found[-1] if found else None)


def end(rc, document=None, err=''):
    if document is not None:
        print(json.dumps(dict(document, schema=2)))
    sys.stderr.write(err)
    site_rc = site.get('exit')  # a knob: tarnctl's exit status whatever the outcomes
    sys.exit(site_rc if site_rc is not None and document is not None else rc)


def keys(d):
    return dict((k, d[k]) for k in ('mac', 'name', 'address', 'product', 'productId', 'version'))


def outcome(d, status, message='', file=''):
    return dict(keys(d), status=status, message=message, file=file)


def normalised(value):
    # The parameter's own rule, as far as a test needs it: leading zeros of an address do not count.
    return re.sub(r'\b0+(\d)', r'\1', value)


def reach(d, password):
    if d.get('fault') == 'no-reply':
        return outcome(d, 'no-reply', 'No reply')
    if d.get('password', 'admin') != password:
        return outcome(d, 'refused', 'Error occured. Try again !!')
    return None


devices = site['devices']
password = stdin.rstrip('\n') if option('--password-file') == '-' else option('--password')
if option('--password') is not None:
    end(2, err='tarnctl: a password on the command line\n')

if argv[0] == 'probe':
    if not devices:
        end(2, dict(devices=[]), 'tarnctl: no device answered the probe\n')
    end(0, dict(devices=[dict(keys(d), addressingKind=1, foundByTypedAddress=False) for d in devices]))

if argv[:2] == ['fleet', 'backup']:
    folder = argv[2]
    if os.path.exists(os.path.join(folder, 'fleet.json')):
        end(2, err='tarnctl: %s holds an earlier backup (fleet.json, 1 .CNF files). Back up into a new or '
                   'empty folder: nothing was written.\n' % folder)
    macs, glob, product = option('--mac', True), option('--name'), option('--product')
    chosen = [d for d in devices if (not macs or d['mac'] in macs) and (not glob or fnmatch.fnmatchcase(d['name'], glob))
              and (not product or product.lower() in (d['product'].lower(), str(d['productId'])))]
    os.makedirs(folder, mode=0o700, exist_ok=True)
    outcomes = []
    for d in chosen:
        failed = reach(d, password)
        if failed:
            outcomes.append(failed)
            continue
        name = d['mac'].replace(':', '-') + '.CNF'
        json.dump(d['values'], open(os.path.join(folder, name), 'w'))
        outcomes.append(outcome(d, 'ok', file=name))
    json.dump(dict(schema=2, devices=outcomes), open(os.path.join(folder, 'fleet.json'), 'w'))
    end(0 if all(o['status'] == 'ok' for o in outcomes) else 1, dict(devices=outcomes))

if argv[:2] == ['fleet', 'export']:
    rows = option('--only').split(',')
    out = io.StringIO()
    w = csv.writer(out, lineterminator='\r\n')
    w.writerow(['MAC'] + rows)
    for name in sorted(os.listdir(argv[2])):
        if name.endswith('.CNF'):
            values = json.load(open(os.path.join(argv[2], name)))
            w.writerow([name[:-4].replace('-', ':')] + [values.get(r, '') for r in rows])
    sys.stdout.write(out.getvalue())
    sys.exit(0)

if argv[:2] == ['fleet', 'apply']:
    table = list(csv.reader(open(option('--values'), encoding='utf-8-sig')))
    columns, dry_run = table[0][1:], '--dry-run' in argv
    by_mac = dict((d['mac'], d) for d in devices)
    for line, cells in enumerate(table[1:], 2):
        d = by_mac.get(cells[0].upper().replace('-', ':'))
        for c, cell in enumerate(cells[1:]):
            if d and cell.strip() and columns[c] not in d['values']:
                end(2, err="tarnctl: %s: nothing was sent:\nline %d, column %d (%s): the device has no parameter "
                           "'%s'\n" % (option('--values'), line, c + 2, columns[c], columns[c]))
    outcomes = []
    for cells in table[1:]:
        mac = cells[0].upper().replace('-', ':')
        d = by_mac.get(mac)
        if d is None:
            outcomes.append(dict(mac=mac, name='', address='', product='', productId='', version='',
                                 status='no-reply', file='', message='no device with this MAC answered the probe'))
            continue
        failed = reach(d, password)
        if failed:
            outcomes.append(failed)
            continue
        differ = [(c, cell) for c, cell in zip(columns, cells[1:])
                  if cell.strip() and normalised(d['values'][c]) != normalised(cell)]
        if not differ:
            message = 'no row differs'
        elif dry_run:
            message = '%d %s: %s' % (len(differ), 'row differs' if len(differ) == 1 else 'rows differ',
                                     ', '.join(c for c, _ in differ))
        else:
            d['values'].update(differ)
            message = 'set %d %s' % (len(differ), 'row' if len(differ) == 1 else 'rows')
            message += ', rebooted' if '--reboot' in argv else ''
        outcomes.append(outcome(d, 'ok', message))
    json.dump(site, open(site_path, 'w'))
    end(0 if all(o['status'] == 'ok' for o in outcomes) else 1, dict(devices=outcomes))

if argv[0] == 'io':
    outputs = site['outputs']
    command = argv[5:]
    if command[0] == 'switch':
        outputs[int(command[1]) - 1] = 0 if command[2] == 'on' else 2
        json.dump(site, open(site_path, 'w'))
    end(0, dict(inputs=[2] * 12, outputs=outputs, adc=[dict(code=1, value=0)] * 4))

end(2, err='tarnctl: the fake does not know %s\n' % ' '.join(argv))
