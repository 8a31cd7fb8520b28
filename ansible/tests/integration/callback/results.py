# The test's stdout callback: every task's result per host, and the stats, as one JSON document
# (ansible-core has no JSON callback of its own).
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

from ansible.plugins.callback import CallbackBase


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'stdout'
    CALLBACK_NAME = 'results'

    def __init__(self):
        super(CallbackModule, self).__init__()
        self.tasks = []

    def v2_playbook_on_task_start(self, task, is_conditional):
        self.tasks.append(dict(task=dict(name=task.get_name()), hosts={}))

    def _result(self, result, **more):
        if not self.tasks:
            self.tasks.append(dict(task=dict(name=result._task.get_name()), hosts={}))
        self.tasks[-1]['hosts'][result._host.get_name()] = dict(result._result, **more)

    def v2_runner_on_ok(self, result):
        self._result(result)

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._result(result, failed=True)

    def v2_playbook_on_stats(self, stats):
        hosts = sorted(stats.processed.keys())
        summary = dict((h, stats.summarize(h)) for h in hosts)
        self._display.display(json.dumps(dict(plays=[dict(tasks=self.tasks)], stats=summary), default=str))
