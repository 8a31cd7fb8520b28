# The modules against the fake tarnctl: what they send, what they report as changed and failed.
import os

from conftest import device


def argvs(site, command):
    return [c for c in site.calls() if c['argv'][:len(command)] == command]


def test_probe_lists_the_devices_and_sets_the_fact(site):
    r = site.run('probe', broadcast='127.255.255.255', device_port=4000, max_devices=10,
                 address=['127.0.33.1-127.0.33.3', '127.0.34.0/24'])
    assert not r.get('failed') and r['changed'] is False
    assert [d['name'] for d in r['devices']] == ['Pump-1', 'Pump-2', 'Pump-3']
    assert r['ansible_facts']['tarn_devices'] == r['devices']
    assert site.calls()[0]['argv'] == ['probe', '--json', '--broadcast', '127.255.255.255', '--device-port', '4000',
                                       '--address', '127.0.33.1-127.0.33.3,127.0.34.0/24', '--max-devices', '10']
    site.save(dict(devices=[]))
    r = site.run('probe')
    assert r['failed'] and r['msg'] == 'tarnctl: no device answered the probe' and r['devices'] == []


def test_params_sets_only_what_differs_and_a_second_run_changes_nothing(site):
    values = {'Location': 'Roof', 'Max connections': 4}
    r = site.run('params', values=values, id='op', password='admin', spacing_ms=0, name='Pump-[12]')
    assert not r.get('failed') and r['changed'] is True
    assert [(d['name'], d['message'], d['changes']) for d in r['devices']] == [
        ('Pump-1', 'set 1 row', [dict(row='Location', before='Yard', after='Roof')]),
        ('Pump-2', 'set 1 row', [dict(row='Location', before='Yard', after='Roof')])]
    # Only the row that differs goes into the table; Pump-3 is not selected.
    assert [d['values']['Location'] for d in site.state()['devices']] == ['Roof', 'Roof', 'Yard']
    # The password reaches tarnctl on its standard input only.
    assert not any('admin' in call['argv'] for call in site.calls())
    for call in argvs(site, ['fleet', 'backup']) + argvs(site, ['fleet', 'apply']):
        assert call['stdin'] == 'admin\n' and call['argv'][call['argv'].index('--password-file') + 1] == '-'
    applied = len(argvs(site, ['fleet', 'apply']))
    r = site.run('params', values=values, id='admin', password='admin', name='Pump-[12]')
    assert r['changed'] is False and [d['message'] for d in r['devices']] == ['no row differs'] * 2
    assert len(argvs(site, ['fleet', 'apply'])) == applied  # nothing to send: no apply at all


def test_params_check_mode_sends_nothing_and_diff_gives_before_and_after(site):
    values = {'Location': 'Roof', 'Gateway': '127.000.000.001'}
    r = site.run('params', check=True, diff=True, values=values, password='admin')
    assert r['changed'] is True
    applies = argvs(site, ['fleet', 'apply'])
    assert len(applies) == 1 and '--dry-run' in applies[0]['argv']
    assert all(d['values']['Location'] == 'Yard' for d in site.state()['devices'])
    # tarnctl reads 127.000.000.001 as the address the devices hold: only Location would change.
    assert r['devices'][0]['changes'] == [dict(row='Location', before='Yard', after='Roof')]
    assert r['diff'][0] == dict(before_header='02:00:00:00:33:01 Pump-1', after_header='02:00:00:00:33:01 Pump-1',
                                before='Location: Yard\n', after='Location: Roof\n')


def test_params_failures_follow_the_outcomes_not_the_exit_status(site):
    state = site.state()
    state['devices'][1]['password'] = 'other'
    state['devices'].append(device(4, fault='no-reply'))
    site.save(state)
    r = site.run('params', values={'Location': 'Roof'}, password='admin')
    assert r['failed'] and r['msg'].startswith('2 of 4 devices failed: 02:00:00:00:33:02 (Pump-2) refused')
    assert [d['status'] for d in r['devices']] == ['ok', 'refused', 'ok', 'no-reply']
    assert [d['changed'] for d in r['devices']] == [True, False, True, False]
    r = site.run('params', values={'Location': 'Lab'}, password='admin', allow_partial=True)
    assert not r.get('failed') and r['changed'] is True and r['warnings']
    # tarnctl saying 0 does not hide a failed device; saying 1 is no failure by itself either.
    state = site.state()
    state['exit'] = 0
    site.save(state)
    assert site.run('params', values={'Location': 'Roof'}, password='admin')['failed']
    state['devices'] = state['devices'][:1]
    state['exit'] = 1
    site.save(state)
    r = site.run('params', values={'Location': 'Lab'}, password='admin')
    assert r['failed'] and r['msg'] == 'tarnctl exited 1'


def test_params_refuses_what_a_table_cannot_carry_and_fails_with_tarnctls_message(site):
    for values, said in (({'Location': True}, "give the value of 'Location' in quotes"),
                         ({'Location': ' '}, "'Location' needs one value"),
                         ({'A,B': 'x'}, "'A,B' cannot name a row"),
                         ({'Location': 'x'}, 'a line end cannot be part of a password')):
        r = site.run('params', values=values, password='a\nb' if 'line end' in said else 'admin')
        assert r['failed'] and said in r['msg']
    assert site.calls() == []
    r = site.run('params', values={'Colour': 'red'}, password='admin')
    assert r['failed'] and r['msg'].endswith("(Colour): the device has no parameter 'Colour'")


def test_backup_writes_into_dest_and_check_mode_writes_nothing(site, tmp_path):
    dest = str(tmp_path / 'site-a')
    r = site.run('backup', check=True, dest=dest, password='admin')
    assert r['changed'] is True and r['files'] == [] and not os.path.exists(dest)
    r = site.run('backup', dest=dest, password='admin', product='tarn-io')
    assert r['changed'] is True and r['index'] == os.path.join(dest, 'fleet.json')
    assert sorted(os.listdir(dest)) == sorted([os.path.basename(f) for f in r['files']] + ['fleet.json'])
    assert len(r['files']) == 3
    r = site.run('backup', dest=dest, password='admin')
    assert r['failed'] and 'holds an earlier backup' in r['msg']


def test_site_table_check_diff_then_apply(site, tmp_path):
    table = tmp_path / 'site.csv'
    table.write_bytes(b'\xef\xbb\xbfMAC,Location,Max connections\r\n02-00-00-00-33-01,"Roof, north",\r\n'
                      b'02:00:00:00:33:02,Yard,2\r\n')
    r = site.run('site_table', check=True, diff=True, src=str(table), password='admin')
    assert r['changed'] is True and '--dry-run' in argvs(site, ['fleet', 'apply'])[0]['argv']
    assert [d['changes'] for d in r['devices']] == [[dict(row='Location', before='Yard', after='Roof, north')],
                                                    [dict(row='Max connections', before='4', after='2')]]
    assert site.state()['devices'][0]['values']['Location'] == 'Yard'
    r = site.run('site_table', src=str(table), password='admin', reboot=True)
    assert r['changed'] is True and [d['message'] for d in r['devices']] == ['set 1 row, rebooted'] * 2
    assert '--reboot' in argvs(site, ['fleet', 'apply'])[-1]['argv']
    assert site.run('site_table', src=str(table), password='admin')['changed'] is False


def test_io_switches_only_the_outputs_that_differ(site):
    link = dict(host='127.0.33.1', port=5020)
    r = site.run('io', check=True, diff=True, outputs={'1': True, '2': 'off', '3': 'on'}, **link)
    assert r['changed'] is True and r['switched'] == [1, 3] and site.state()['outputs'][:3] == [2, 2, 2]
    assert r['diff']['before'] == 'output 1: off\noutput 2: off\noutput 3: off\n'
    assert r['diff']['after'] == 'output 1: on\noutput 2: off\noutput 3: on\n'
    r = site.run('io', outputs={'1': True, '2': 'off', '3': 'on'}, **link)
    assert r['switched'] == [1, 3] and site.state()['outputs'][:3] == [0, 2, 0]
    assert [c['argv'][5:8] for c in argvs(site, ['io'])][-2:] == [['switch', '1', 'on'], ['switch', '3', 'on']]
    r = site.run('io', outputs={'1': 'on'}, **link)
    assert r['changed'] is False and r['outputs'][:3] == ['on', 'off', 'on']
    assert site.run('io', outputs={'11': 'on'}, **link)['msg'] == "outputs: '11' is no output (1 to 10)"
