#!/usr/bin/env python3
"""The example playbooks of docs/ansible.md, run by ansible-playbook (forks 3, the example's vaulted
password) against three simulated sites: three tarn-sim fleets on their own loopback blocks and
ports, three inventory hosts with ansible_connection local. Every tarnctl call goes through a
wrapper that logs its arguments and, when asked, its datagrams (tarnctl --trace).

  sites.py --tarnctl PATH --tarn-sim PATH --data DIR --collections DIR --docs docs/ansible.md

With --scale N it measures instead (no test): the params play changing one row on every device
(spacing 0, forks 3) against three sites of N devices, beside each site's own `tarnctl fleet apply
--values` of the same change run alone; --repeat times, medians printed."""
import argparse
import glob
import json
import os
import queue
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, '..', '..', 'examples')
SITES = ('site-a', 'site-b', 'site-c')
DEVICES = 4  # pumps per site, beside a meter with I/O; site-c also has a device with another password
PASSWORD = 'site-secret'  # what the example's vault holds
TIMEOUT = 600  # a bound on every wait, never reached by a run that works


def check(condition, text):
    if not condition:
        sys.exit('FAIL: ' + text)


class Simulator:
    """One tarn-sim, waited for until it prints its ready line (its I/O ports before)."""

    def __init__(self, program, fleet, data):
        self.process = subprocess.Popen([program, '--fleet', fleet, '--device-port', '0', '--data-dir', data,
                                         '--fixed-clock'], stdout=subprocess.PIPE, text=True)
        lines, self.io, self.port = queue.Queue(), {}, None
        threading.Thread(target=lambda: [lines.put(line) for line in self.process.stdout] + [lines.put('')],
                         daemon=True).start()
        while self.port is None:
            line = lines.get(timeout=TIMEOUT)  # queue.Empty ends the test: tarn-sim did not get ready
            check(line, 'tarn-sim ended before it was ready')
            if line.startswith('io '):
                self.io[line.split()[1].split(':')[0]] = int(line.split()[1].split(':')[1])
            if line.startswith('ready port '):
                self.port = int(line.split()[2])


def fleet_of(site):
    block = SITES.index(site) + 1
    devices = [dict(name='Pump', mac='02:61:%02d:00:00:01' % block, productId=74, version='1.1',
                    address='127.61.%d.1' % block, count=DEVICES, password=PASSWORD, io=False),
               dict(name='Meter', mac='02:61:%02d:00:01:00' % block, productId=74, version='1.1',
                    address='127.61.%d.100' % block, password=PASSWORD)]
    if site == 'site-c':
        devices.append(dict(name='Odd', mac='02:61:03:00:02:00', productId=74, version='1.1',
                            address='127.61.3.200', password='another', io=False))
    return dict(devices=devices)


class Run:
    """The sites, the example playbooks copied into a folder of their own beside an inventory of
    the sites, and ansible-playbook run there."""

    def __init__(self, args, tmp, fleets, wait_ms=300):
        self.tmp, self.play_dir = tmp, os.path.join(tmp, 'play')
        shutil.copytree(EXAMPLES, self.play_dir)
        self.sims, hosts = {}, {}
        for site in fleets:
            os.makedirs(self.data_dir(site))
            for f in glob.glob(os.path.join(args.data, '*.dcf')) + [os.path.join(args.data, 'prodid.ini')]:
                shutil.copy(f, self.data_dir(site))
            fleet = os.path.join(tmp, site, 'fleet.json')
            json.dump(fleets[site], open(fleet, 'w'))
            self.sims[site] = Simulator(args.tarn_sim, fleet, args.data)
            hosts[site] = dict(tarn_broadcast='127.255.255.255', tarn_device_port=self.sims[site].port,
                               tarn_gateway='127.0.0.1',  # the simulated devices' own
                               tarn_data_dir=self.data_dir(site), tarn_backup_root=os.path.join(tmp, site, 'backups'),
                               tarn_work_dir=os.path.join(tmp, site, 'work'))
        common = dict(ansible_connection='local', ansible_python_interpreter='{{ ansible_playbook_python }}',
                      tarn_id='admin', tarn_password='{{ vault_tarn_password }}')
        if wait_ms is not None:
            common['tarn_wait_ms'] = wait_ms
        # Beside the example's group_vars, which hold the vaulted password.
        self.inventory = os.path.join(self.play_dir, 'inventory.yml')
        json.dump(dict(sites=dict(hosts=hosts, vars=common)), open(self.inventory, 'w'))
        bin_dir = os.path.join(tmp, 'bin')
        os.makedirs(bin_dir)
        with open(os.path.join(bin_dir, 'tarnctl'), 'w') as f:
            f.write('#!/bin/bash\nprintf "%%s\\n" "$*" >> "%s"\n'
                    '[ -z "$TARN_TRACE_LOG" ] || exec "%s" --trace "$@" 2> >(tee -a "$TARN_TRACE_LOG" >&2)\n'
                    'exec "%s" "$@"\n' % (os.path.join(tmp, 'args.log'), args.tarnctl, args.tarnctl))
        os.chmod(os.path.join(bin_dir, 'tarnctl'), 0o755)
        open(os.path.join(tmp, 'vault-password'), 'w').write('example\n')
        self.env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ['PATH'], ANSIBLE_FORKS='3',
                        ANSIBLE_STDOUT_CALLBACK='results', ANSIBLE_LOAD_CALLBACK_PLUGINS='1',
                        ANSIBLE_CALLBACK_PLUGINS=os.path.join(HERE, 'callback'), ANSIBLE_NOCOLOR='1',
                        ANSIBLE_COLLECTIONS_PATH=args.collections,
                        ANSIBLE_VAULT_PASSWORD_FILE=os.path.join(tmp, 'vault-password'),
                        ANSIBLE_LOCAL_TEMP=os.path.join(tmp, 'ansible-local'),
                        ANSIBLE_REMOTE_TEMP=os.path.join(tmp, 'ansible-remote'),
                        XDG_CONFIG_HOME=os.path.join(tmp, 'config'))
        for name in ('TARN_TRACE_LOG', 'ANSIBLE_CONFIG'):
            self.env.pop(name, None)

    def data_dir(self, site):
        return os.path.join(self.tmp, site, 'data')

    def stop(self):
        for sim in self.sims.values():
            sim.process.terminate()
            sim.process.wait(timeout=TIMEOUT)

    def play(self, playbook, *extra, trace=None, command='ansible-playbook'):
        env = dict(self.env, TARN_TRACE_LOG=trace) if trace else self.env
        p = subprocess.run([command, '-i', self.inventory, playbook] + list(extra), cwd=self.play_dir,
                           env=env, capture_output=True, text=True, timeout=TIMEOUT)
        try:
            return json.loads(p.stdout)
        except ValueError:
            sys.exit('FAIL: %s printed no JSON (exit %d): %s %s' % (playbook, p.returncode, p.stdout[-2000:],
                                                                      p.stderr[-2000:]))


def results(document, task=None):
    """Per host, the result of the task of this name (of the one task of an ad-hoc run)."""
    found = [t['hosts'] for t in document['plays'][0]['tasks'] if task in (None, t['task']['name'])]
    check(found, 'no task %r ran: %s' % (task, json.dumps(document)[:2000]))
    return found[0]


def arguments():
    parser = argparse.ArgumentParser()
    for option in ('--tarnctl', '--tarn-sim', '--data', '--collections', '--docs'):
        parser.add_argument(option, required=option != '--docs', type=os.path.abspath)
    parser.add_argument('--scale', type=int, default=0)
    parser.add_argument('--repeat', type=int, default=3)
    return parser.parse_args()


def measure(run, args):
    def play(location):
        started = time.monotonic()
        done = run.play('params.yml', '-e', 'tarn_location=%s' % location, '-e', 'tarn_spacing_ms=0')
        for site in SITES:
            check(sum(d['message'] == 'set 1 row' for d in results(done)[site]['devices']) == args.scale,
                  'the play did not set every device of %s: %s' % (site, done['stats']))
        return time.monotonic() - started

    def alone(block, site, location):
        table = os.path.join(run.tmp, site + '.csv')
        with open(table, 'w') as f:  # the k-th device of a fleet entry has the entry's MAC plus k
            f.write('MAC,Location\n' + ''.join('02:62:%02X:00:%02X:%02X,%s\n' % (block, k >> 8, k & 0xFF, location)
                                               for k in range(args.scale)))
        started = time.monotonic()
        p = subprocess.run([args.tarnctl, 'fleet', 'apply', '--values', table, '--broadcast', '127.255.255.255',
                            '--device-port', str(run.sims[site].port), '--data-dir', run.data_dir(site),
                            '--spacing', '0', '--json'], capture_output=True, text=True, timeout=TIMEOUT)
        took = time.monotonic() - started
        check(p.returncode == 0 and p.stdout.count('"set 1 row"') == args.scale, 'fleet apply on %s' % site)
        return took

    play('first')  # the sites learn the password (pwd.ini), as they would have before
    slowest, plays = [], []
    for r in range(args.repeat):
        slowest.append(max(alone(block, site, 'alone-%d' % r) for block, site in enumerate(SITES, 1)))
        plays.append(play('play-%d' % r))
        print('run %d: slowest site alone %.2f s, the play of the three sites %.2f s' % (r + 1, slowest[-1], plays[-1]))
    s, p = statistics.median(slowest), statistics.median(plays)
    print('%d devices a site, medians of %d: slowest fleet apply %.2f s, play %.2f s = 1.3 x + %.2f s '
          '(the goal, 1.3 x + 5 s, is %.2f s); load average %.2f'
          % (args.scale, args.repeat, s, p, p - 1.3 * s, 1.3 * s + 5, os.getloadavg()[0]))


def main():
    args = arguments()
    tmp = tempfile.mkdtemp(prefix='tarn-ansible-')
    run = None
    try:
        if args.scale:
            run = Run(args, tmp, dict((site, dict(devices=[dict(
                name='Pump', mac='02:62:%02d:00:00:00' % block, productId=74, version='1.1', address='127.62.%d.1'
                % (block * 8), count=args.scale, password=PASSWORD, io=False)])) for block, site in enumerate(SITES, 1)),
                wait_ms=None)
            return measure(run, args)
        check(args.docs, '--docs is missing')
        for f in ('inventory.yml', 'group_vars/sites/vault.yml', 'probe.yml', 'params.yml', 'backup.yml',
                  'site-table.yml'):
            check(open(os.path.join(EXAMPLES, f)).read() in open(args.docs).read(), '%s is not in the guide' % f)
        run = Run(args, tmp, dict((site, fleet_of(site)) for site in SITES))
        names = dict((s, sorted(['Pump-%d' % (i + 1) for i in range(DEVICES)] + ['Meter'] +
                                (['Odd'] if s == 'site-c' else []))) for s in SITES)
        found = results(run.play('probe.yml'), 'Probe the site')
        for site in SITES:
            check(sorted(d['name'] for d in found[site]['devices']) == names[site], 'probe of %s: %s' % (site, found))

        # A wrong password fails the one device it concerns, on its site only.
        first = run.play('params.yml')
        done = results(first, 'Location and gateway')
        for site in SITES:
            failed = first['stats'][site]['failures'] == 1
            check(failed == (site == 'site-c') and first['stats'][site]['changed'] == (site != 'site-c'),
                  'params on %s: %s' % (site, first['stats']))
            check(sorted((d['name'], d['status'], d['message']) for d in done[site]['devices']) ==
                  sorted((n, 'refused', 'Error occured. Try again !!') if n == 'Odd' else (n, 'ok', 'set 1 row')
                         for n in names[site]), 'params on %s: %s' % (site, done[site]))
        # The same play again changes nothing (and, with allow_partial, tolerates the one device).
        again = run.play('params.yml', '-e', 'tarn_allow_partial=true')
        for site in SITES:
            check(again['stats'][site]['changed'] == 0 and again['stats'][site]['failures'] == 0,
                  'second params run on %s: %s' % (site, again['stats']))

        # The site tables, with --check --diff first: read and shown, nothing sent.
        for block, site in enumerate(SITES, 1):
            with open(os.path.join(run.play_dir, 'tables', site + '.csv'), 'w') as f:
                f.write('MAC,Device name,Max connections\n' + ''.join(
                    '02:61:%02d:00:00:%02X,%s-P%d,2\n' % (block, i, site, i) for i in range(1, DEVICES + 1)))
        trace = os.path.join(tmp, 'check.trace')
        checked = run.play('site-table.yml', '--check', '--diff', trace=trace)
        shown = results(checked, 'Give each device its own values, and reboot those that took them')
        sent = open(trace).read()
        check('GetValues' in sent and 'SetValues' not in sent and 'Reboot ' not in sent, 'the check sent more')
        for site in SITES:
            check(checked['stats'][site]['failures'] == 0 and len(shown[site]['diff']) == DEVICES and
                  shown[site]['diff'][0]['before'] == 'Device name: Pump-1\nMax connections: 4\n' and
                  shown[site]['diff'][0]['after'] == 'Device name: %s-P1\nMax connections: 2\n' % site,
                  'check of %s: %s' % (site, shown[site]))
        trace = os.path.join(tmp, 'apply.trace')
        done = results(run.play('site-table.yml', trace=trace),
                       'Give each device its own values, and reboot those that took them')
        check(open(trace).read().count(' SetValues ') >= 3 * DEVICES, 'the apply sent no set')
        for site in SITES:
            check([d['message'] for d in done[site]['devices']] == ['set 2 rows, rebooted'] * DEVICES,
                  'apply on %s: %s' % (site, done[site]))

        # Every site backed up, and the backups on the controller, in a folder of the user's only.
        backed = run.play('backup.yml', '-e', 'tarn_allow_partial=true')
        check(os.stat(os.path.join(run.play_dir, 'backups')).st_mode & 0o777 == 0o700, 'backups/ is not 0700')
        for site in SITES:
            fetched = glob.glob(os.path.join(run.play_dir, 'backups', site, '*', '*'))
            index = [f for f in fetched if f.endswith('fleet.json')]
            check(backed['stats'][site]['failures'] == 0 and len([f for f in fetched if f.endswith('.CNF')]) ==
                  DEVICES + 1 and len(index) == 1 and len(json.load(open(index[0]))['devices']) == len(names[site]),
                  'the controller has %s of %s' % (fetched, site))

        # An output switched over a real I/O link.
        port = run.sims['site-b'].io['127.61.2.100']
        switched = results(run.play('site-b', '-m', 'tarn.manager.io', '-a', json.dumps(
            dict(host='127.61.2.100', port=port, outputs={'3': 'on'})), command='ansible'))['site-b']
        check(switched.get('changed') and switched['outputs'][2] == 'on' and switched['switched'] == [3],
              'io switch: %s' % switched)

        calls = open(os.path.join(tmp, 'args.log')).read()
        check(PASSWORD not in calls and '--password-file -' in calls, 'the password was on a command line')
        print('ansible sites passed')
    finally:
        if run:
            run.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == '__main__':
    main()
