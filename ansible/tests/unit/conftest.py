# The modules run in this process, as Ansible would run them on a site's host, against the fake
# tarnctl beside this file.
import json
import os
import shutil
import sys
import tempfile

import pytest

COLLECTION = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
FAKE = os.path.join(os.path.dirname(__file__), 'fake_tarnctl.py')


def pytest_configure(config):
    # The modules import themselves as ansible_collections.tarn.manager..., and ansible-doc finds the
    # collection in COLLECTIONS_ROOT.
    global COLLECTIONS_ROOT
    root = COLLECTIONS_ROOT = tempfile.mkdtemp(prefix='tarn-collection-')
    os.makedirs(os.path.join(root, 'ansible_collections', 'tarn'))
    os.symlink(COLLECTION, os.path.join(root, 'ansible_collections', 'tarn', 'manager'))
    sys.path.insert(0, root)
    config.add_cleanup(lambda: shutil.rmtree(root))


def device(n, **more):
    values = {'Location': 'Yard', 'Max connections': '4', 'Gateway': '127.0.0.1'}
    return dict(dict(mac='02:00:00:00:33:%02X' % n, name='Pump-%d' % n, address='127.0.33.%d' % n, product='TARN-IO',
                     productId=74, version='1.1', values=values), **more)


class Site:
    """The fake's site and log, and a module run against it."""

    def __init__(self, tmp, monkeypatch, capsys):
        self.tmp, self.capsys, self.monkeypatch = tmp, capsys, monkeypatch
        self.path, self.log_path = str(tmp / 'site.json'), str(tmp / 'calls.log')
        monkeypatch.setenv('FAKE_TARNCTL_SITE', self.path)
        monkeypatch.setenv('FAKE_TARNCTL_LOG', self.log_path)
        self.save(dict(devices=[device(1), device(2), device(3)], outputs=[2] * 10))

    def save(self, state):
        json.dump(state, open(self.path, 'w'))

    def state(self):
        return json.load(open(self.path))

    def calls(self):
        return [json.loads(line) for line in open(self.log_path)] if os.path.exists(self.log_path) else []

    def run(self, module_name, /, check=False, diff=False, **args):
        from ansible.module_utils import basic
        from ansible.module_utils.common.text.converters import to_bytes
        module = __import__('ansible_collections.tarn.manager.plugins.modules.' + module_name, fromlist=['main'])
        args.setdefault('tarnctl', FAKE)
        args.update(_ansible_check_mode=check, _ansible_diff=diff, _ansible_remote_tmp=str(self.tmp),
                    _ansible_keep_remote_files=False)
        self.monkeypatch.setattr(basic, '_ANSIBLE_ARGS', to_bytes(json.dumps({'ANSIBLE_MODULE_ARGS': args})))
        self.capsys.readouterr()
        with pytest.raises(SystemExit):
            module.main()
        return json.loads(self.capsys.readouterr().out)


@pytest.fixture
def site(tmp_path, monkeypatch, capsys):
    return Site(tmp_path, monkeypatch, capsys)
