#!/usr/bin/env python3
"""A measurement, not a test: the example params play (one row changed on every device, spacing 0,
forks 3) against three simulated sites of DEVICES devices each, beside each site's own
`tarnctl fleet apply --values` of the same change run alone. Prints the medians.

  scale.py --tarnctl PATH --tarn-sim PATH --data DIR --collections DIR [--devices N] [--repeat N]
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sites  # noqa: E402


def fleet(block, devices):
    return dict(devices=[dict(name='Pump', mac='02:62:%02d:00:00:00' % block, productId=74, version='1.1',
                              address='127.62.%d.1' % (block * 8), count=devices, password=sites.PASSWORD,
                              io=False)])


def main():
    args = sites.arguments(devices=1000, repeat=3)
    devices, repeat = args.devices, args.repeat
    tmp = tempfile.mkdtemp(prefix='tarn-ansible-scale-')
    run = None
    try:
        run = sites.Run(args, tmp, dict((site, fleet(i + 1, devices)) for i, site in enumerate(sites.SITES)),
                        wait_ms=None)
        macs = {}
        for i, site in enumerate(sites.SITES):
            first = 0x026200000000 + ((i + 1) << 24)
            macs[site] = [':'.join('%02X' % ((first + k) >> s & 0xFF) for s in range(40, -8, -8))
                          for k in range(devices)]

        def play(location):
            started = time.monotonic()
            done = run.play('params.yml', '-e', 'tarn_location=%s' % location, '-e', 'tarn_spacing_ms=0')
            took = time.monotonic() - started
            for site in sites.SITES:
                sites.check(done['stats'][site]['changed'] == 1 and done['stats'][site]['failures'] == 0,
                            'play on %s: %s' % (site, done['stats']))
                result = sites.results(done, 'Location and gateway')[site]
                sites.check(sum(d['message'] == 'set 1 row' for d in result['devices']) == devices,
                            'play on %s did not set %d devices' % (site, devices))
            return took

        def alone(site, location):
            table = os.path.join(tmp, site + '.csv')
            with open(table, 'w') as f:
                f.write('MAC,Location\n' + ''.join('%s,%s\n' % (mac, location) for mac in macs[site]))
            command = [args.tarnctl, 'fleet', 'apply', '--values', table, '--broadcast', '127.255.255.255',
                       '--device-port', str(run.sims[site].port), '--data-dir', run.data_dir(site), '--spacing', '0',
                       '--json']
            started = time.monotonic()
            p = subprocess.run(command, capture_output=True, text=True, timeout=sites.TIMEOUT)
            took = time.monotonic() - started
            outcomes = json.loads(p.stdout)['devices']
            sites.check(p.returncode == 0 and sum(o['message'] == 'set 1 row' for o in outcomes) == devices,
                        'fleet apply on %s: %s' % (site, p.stderr[-500:]))
            return took

        play('first')  # the sites learn the password (pwd.ini), as they would have before
        plays, slowest = [], []
        for r in range(repeat):
            slowest.append(max(alone(site, 'alone-%d' % r) for site in sites.SITES))
            plays.append(play('play-%d' % r))
            print('run %d: slowest site alone %.2f s, play of the three sites %.2f s' % (r + 1, slowest[-1], plays[-1]))
        s, p = statistics.median(slowest), statistics.median(plays)
        print('%d devices a site, medians of %d: slowest fleet apply %.2f s, play %.2f s = %.2f x + %.2f s; '
              'the goal 1.3 x + 5 s is %.2f s; load average %.2f' %
              (devices, repeat, s, p, p / s, p - 1.3 * s, 1.3 * s + 5, os.getloadavg()[0]))
    finally:
        if run:
            run.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == '__main__':
    main()
