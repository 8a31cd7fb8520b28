# Every module's documentation as ansible-doc shows it, and the collection as ansible-galaxy builds it.
import json
import os
import re
import subprocess

import conftest

MODULES = ('probe', 'params', 'backup', 'site_table', 'io')


def ansible(*command, cwd=None):
    env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=conftest.COLLECTIONS_ROOT, ANSIBLE_NOCOLOR='1')
    return subprocess.run(command, env=env, cwd=cwd, capture_output=True, text=True, timeout=300)


def test_every_module_is_documented():
    shown = ansible('ansible-doc', '--json', *['tarn.manager.' + m for m in MODULES])
    assert shown.returncode == 0 and 'WARNING' not in shown.stderr, shown.stderr
    docs = json.loads(shown.stdout)
    assert sorted(docs) == sorted('tarn.manager.' + m for m in MODULES)
    for name, doc in docs.items():
        assert doc['examples'].strip() and doc['return'], name
        for option, described in doc['doc']['options'].items():
            assert described.get('description') and described.get('type'), (name, option)
        for field in ('tarnctl', 'broadcast', 'device_port', 'data_dir', 'wait_ms', 'id', 'password'):
            assert field in doc['doc']['options'], (name, field)
    text = ansible('ansible-doc', 'tarn.manager.params')
    assert text.returncode == 0 and 'EXAMPLES:' in text.stdout and 'RETURN VALUES:' in text.stdout


def test_the_collection_builds_with_the_projects_version(tmp_path):
    galaxy = open(os.path.join(conftest.COLLECTION, 'galaxy.yml')).read()
    version = re.search(r'^version: (\S+)$', galaxy, re.M).group(1)
    assert version == os.environ.get('TARN_VERSION', version)
    built = ansible('ansible-galaxy', 'collection', 'build', conftest.COLLECTION, '--output-path', str(tmp_path))
    assert built.returncode == 0, built.stderr
    assert os.listdir(str(tmp_path)) == ['tarn-manager-%s.tar.gz' % version]
