#!/usr/bin/env python3
"""The example playbooks of docs/ansible.md run by ansible-playbook (forks 3) against three
simulated sites: three tarn-sim fleets on their own loopback blocks and ports, three inventory
hosts with ansible_connection local. The password comes from the example's vault.

  sites.py --tarnctl PATH --tarn-sim PATH --data DIR --collections DIR --docs docs/ansible.md

Every tarnctl call goes through a wrapper on PATH that logs its arguments and, while asked, its
datagrams (tarnctl --trace): the record of what was sent to the devices."""
import argparse
import glob
import json
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, '..', '..', 'examples')
SITES = ('site-a', 'site-b', 'site-c')
DEVICES = 4            # per site, and one more on site-c whose password is another
PASSWORD = 'site-secret'   # what the example's vault holds
TIMEOUT = 600              # a bound on every wait, never reached by a run that works


def fail(text):
    print('FAIL: ' + text, file=sys.stderr)
    sys.exit(1)


def check(condition, text):
    if not condition:
        fail(text)


class Simulator:
    """One tarn-sim, started and waited for until it prints its ready line."""

    def __init__(self, program, fleet, data):
        self.process = subprocess.Popen([program, '--fleet', fleet, '--device-port', '0', '--data-dir', data,
                                         '--fixed-clock'], stdout=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.io = {}
        while True:
            try:
                line = self.lines.get(timeout=TIMEOUT)
            except queue.Empty:
                fail('tarn-sim did not get ready')
            if line is None:
                fail('tarn-sim ended before it was ready')
            if line.startswith('io '):
                address, port = line.split()[1].split(':')
                self.io[address] = int(port)
            if line.startswith('ready port '):
                self.port = int(line.split()[2])
                return

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.strip())
        self.lines.put(None)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=TIMEOUT)


def fleet_of(site):
    block = SITES.index(site) + 1
    devices = [dict(name='Pump', mac='02:61:%02d:00:00:01' % block, productId=74, version='1.1',
                    address='127.61.%d.1' % block, count=DEVICES, password=PASSWORD, io=False)]
    devices.append(dict(name='Meter', mac='02:61:%02d:00:01:00' % block, productId=74, version='1.1',
                        address='127.61.%d.100' % block, password=PASSWORD))
    if site == 'site-c':
        devices.append(dict(name='Odd', mac='02:61:03:00:02:00', productId=74, version='1.1',
                            address='127.61.3.200', password='another', io=False))
    return dict(devices=devices)


class Run:
    """The sites (a simulated fleet each), the example playbooks in a folder of their own, an
    inventory of the sites, and ansible-playbook run there."""

    def __init__(self, args, tmp, fleets, wait_ms=300):
        self.args, self.tmp, self.wait_ms = args, tmp, wait_ms
        self.play_dir = os.path.join(tmp, 'play')
        shutil.copytree(EXAMPLES, self.play_dir)
        self.sims = {}
        for site in fleets:
            data = self.data_dir(site)
            os.makedirs(data)
            for f in glob.glob(os.path.join(args.data, '*.dcf')) + [os.path.join(args.data, 'prodid.ini')]:
                shutil.copy(f, data)
            fleet = os.path.join(tmp, site, 'fleet.json')
            json.dump(fleets[site], open(fleet, 'w'))
            self.sims[site] = Simulator(args.tarn_sim, fleet, args.data)
        self.write_inventory()
        bin_dir = os.path.join(tmp, 'bin')
        os.makedirs(bin_dir)
        wrapper = os.path.join(bin_dir, 'tarnctl')
        with open(wrapper, 'w') as f:
            f.write('#!/bin/bash\nprintf "%%s\\n" "$*" >> "%s"\n'
                    '[ -z "$TARN_TRACE_LOG" ] || exec "%s" --trace "$@" 2> >(tee -a "$TARN_TRACE_LOG" >&2)\n'
                    'exec "%s" "$@"\n' % (os.path.join(tmp, 'args.log'), args.tarnctl, args.tarnctl))
        os.chmod(wrapper, 0o755)
        vault_password = os.path.join(tmp, 'vault-password')
        open(vault_password, 'w').write('example\n')
        self.env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ['PATH'], ANSIBLE_FORKS='3',
                        ANSIBLE_STDOUT_CALLBACK='results', ANSIBLE_LOAD_CALLBACK_PLUGINS='1',
                        ANSIBLE_CALLBACK_PLUGINS=os.path.join(HERE, 'callback'),
                        ANSIBLE_COLLECTIONS_PATH=args.collections, ANSIBLE_VAULT_PASSWORD_FILE=vault_password,
                        ANSIBLE_LOCAL_TEMP=os.path.join(tmp, 'ansible-local'),
                        ANSIBLE_REMOTE_TEMP=os.path.join(tmp, 'ansible-remote'), ANSIBLE_NOCOLOR='1',
                        XDG_CONFIG_HOME=os.path.join(tmp, 'config'))
        self.env.pop('TARN_TRACE_LOG', None)
        self.env.pop('ANSIBLE_CONFIG', None)

    def write_inventory(self):
        hosts = {}
        for site, sim in self.sims.items():
            hosts[site] = dict(tarn_broadcast='127.255.255.255', tarn_device_port=sim.port,
                               tarn_data_dir=self.data_dir(site),
                               tarn_backup_root=os.path.join(self.tmp, site, 'backups'),
                               tarn_work_dir=os.path.join(self.tmp, site, 'work'))
        inventory = dict(sites=dict(hosts=hosts, vars=dict(
            ansible_connection='local', ansible_python_interpreter='{{ ansible_playbook_python }}',
            tarn_id='admin', tarn_password='{{ vault_tarn_password }}')))
        if self.wait_ms is not None:
            inventory['sites']['vars']['tarn_wait_ms'] = self.wait_ms
        # The example's group_vars (the vaulted password) lie beside the inventory.
        self.inventory = os.path.join(self.play_dir, 'inventory.yml')
        json.dump(inventory, open(self.inventory, 'w'))

    def data_dir(self, site):
        return os.path.join(self.tmp, site, 'data')

    def stop(self):
        for sim in self.sims.values():
            sim.stop()

    def play(self, playbook, *extra, trace=None):
        env = dict(self.env, TARN_TRACE_LOG=trace) if trace else self.env
        p = subprocess.run(['ansible-playbook', '-i', self.inventory, playbook] + list(extra), cwd=self.play_dir,
                           env=env, capture_output=True, text=True, timeout=TIMEOUT)
        try:
            return json.loads(p.stdout)
        except ValueError:
            fail('%s printed no JSON (exit %d): %s %s' % (playbook, p.returncode, p.stdout[-2000:], p.stderr[-2000:]))

    def adhoc(self, site, module, args):
        p = subprocess.run(['ansible', site, '-i', self.inventory, '-m', module, '-a', json.dumps(args)],
                           cwd=self.play_dir, env=self.env, capture_output=True, text=True, timeout=TIMEOUT)
        return json.loads(p.stdout)['plays'][0]['tasks'][0]['hosts'][site]


def results(document, task):
    """Per host, the result of the task of this name."""
    for play in document['plays']:
        for t in play['tasks']:
            if t['task']['name'] == task:
                return t['hosts']
    fail('no task %r ran: %s' % (task, json.dumps(document)[:2000]))


def statuses(result):
    return sorted((d['name'], d['status']) for d in result['devices'])


def arguments(*more, **numbers):
    parser = argparse.ArgumentParser()
    for option in ('--tarnctl', '--tarn-sim', '--data', '--collections') + more:
        parser.add_argument(option, required=True)
    for name, default in numbers.items():
        parser.add_argument('--' + name, type=int, default=default)
    args = parser.parse_args()
    for key in ('tarnctl', 'tarn_sim', 'data', 'collections') + tuple(m[2:] for m in more):
        setattr(args, key, os.path.abspath(getattr(args, key)))
    return args


def main():
    args = arguments('--docs')
    # The example files are the ones the guide shows, letter for letter.
    guide = open(args.docs).read()
    for f in ('inventory.yml', 'probe.yml', 'params.yml', 'backup.yml', 'site-table.yml',
              'group_vars/sites/vault.yml'):
        check(open(os.path.join(EXAMPLES, f)).read() in guide, '%s is not in %s as it is' % (f, args.docs))

    tmp = tempfile.mkdtemp(prefix='tarn-ansible-')
    run = None
    try:
        run = Run(args, tmp, dict((site, fleet_of(site)) for site in SITES))
        names = dict((s, sorted(['Pump-%d' % (i + 1) for i in range(DEVICES)] + ['Meter'] +
                                (['Odd'] if s == 'site-c' else []))) for s in SITES)

        found = results(run.play('probe.yml'), 'Probe the site')
        for site in SITES:
            check(sorted(d['name'] for d in found[site]['devices']) == names[site], 'probe of %s: %s' % (site, found))

        # A wrong password fails the one device it concerns, on its site only.
        first = run.play('params.yml')
        done = results(first, 'Location and gateway')
        for site in ('site-a', 'site-b'):
            check(first['stats'][site]['failures'] == 0 and first['stats'][site]['changed'] == 1, 'params %s' % site)
            check(all(d['message'] == 'set 1 row' for d in done[site]['devices']), 'params %s: %s' % (site, done))
        check(first['stats']['site-c']['failures'] == 1, 'params site-c did not fail')
        check(statuses(done['site-c']) == sorted([(n, 'ok') for n in names['site-c'] if n != 'Odd'] + [('Odd', 'refused')]),
              'params site-c: %s' % done['site-c'])
        check([d['changed'] for d in done['site-c']['devices'] if d['name'] != 'Odd'] == [True] * (DEVICES + 1),
              'params site-c: the devices with the right password were not set')
        # The same play again changes nothing, and tolerates the one device with allow_partial.
        again = run.play('params.yml', '-e', 'tarn_allow_partial=true')
        for site in SITES:
            check(again['stats'][site]['changed'] == 0 and again['stats'][site]['failures'] == 0,
                  'second params run on %s: %s' % (site, again['stats']))

        # The site tables, with --check --diff first: read and shown, nothing sent.
        for site in SITES:
            with open(os.path.join(run.play_dir, 'tables', site + '.csv'), 'w') as f:
                f.write('MAC,Device name,Max connections\n')
                for i in range(DEVICES):
                    f.write('02:61:%02d:00:00:%02X,%s-P%d,2\n' % (SITES.index(site) + 1, i + 1, site, i + 1))
        checked_trace = os.path.join(tmp, 'check.trace')
        checked = run.play('site-table.yml', '--check', '--diff', trace=checked_trace)
        shown = results(checked, 'Give each device its own values, and reboot those that took them')
        trace = open(checked_trace).read()
        check('GetValues' in trace and 'SetValues' not in trace and 'Reboot ' not in trace,
              'the check sent more than reads')
        for site in SITES:
            check(checked['stats'][site]['failures'] == 0 and shown[site]['changed'], 'check of %s' % site)
            check(len(shown[site]['diff']) == DEVICES and
                  shown[site]['diff'][0]['before'] == 'Device name: Pump-1\nMax connections: 4\n' and
                  shown[site]['diff'][0]['after'] == 'Device name: %s-P1\nMax connections: 2\n' % site,
                  'diff of %s: %s' % (site, shown[site].get('diff')))
        applied_trace = os.path.join(tmp, 'apply.trace')
        applied = run.play('site-table.yml', trace=applied_trace)
        done = results(applied, 'Give each device its own values, and reboot those that took them')
        check(open(applied_trace).read().count(' SetValues ') >= 3 * DEVICES, 'the apply sent no set')
        for site in SITES:
            check([d['message'] for d in done[site]['devices']] == ['set 2 rows, rebooted'] * DEVICES,
                  'apply on %s: %s' % (site, done[site]))

        # Every site backed up, and the backups on the controller, in a folder of the user's only.
        backed = run.play('backup.yml', '-e', 'tarn_allow_partial=true')
        check(os.stat(os.path.join(run.play_dir, 'backups')).st_mode & 0o777 == 0o700, 'backups/ is not 0700')
        for site in SITES:
            check(backed['stats'][site]['failures'] == 0, 'backup of %s: %s' % (site, backed['stats']))
            fetched = glob.glob(os.path.join(run.play_dir, 'backups', site, '*', '*'))
            cnf = [f for f in fetched if f.endswith('.CNF')]
            check(len(cnf) == DEVICES + 1, 'the controller has %s of %s' % (fetched, site))
            index = [f for f in fetched if f.endswith('fleet.json')]
            check(len(index) == 1 and len(json.load(open(index[0]))['devices']) == len(names[site]),
                  'no whole fleet.json of %s on the controller' % site)

        # An output switched on a real I/O link.
        switched = run.adhoc('site-b', 'tarn.manager.io',
                             dict(host='127.61.2.100', port=run.sims['site-b'].io['127.61.2.100'], outputs={'3': 'on'}))
        check(switched.get('changed') and switched['outputs'][2] == 'on' and switched['switched'] == [3],
              'io switch: %s' % switched)

        # The password never reached a command line.
        calls = open(os.path.join(tmp, 'args.log')).read()
        check(PASSWORD not in calls and '--password-file -' in calls, 'the password was on a command line')
    finally:
        if run:
            run.stop()
        shutil.rmtree(tmp, ignore_errors=True)
    print('ansible sites passed')


if __name__ == '__main__':
    main()
