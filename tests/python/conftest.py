"""Shared fixtures for the Python tests."""

import os
import resource
import subprocess
import sys
import textwrap

import pytest

# The tests start interpreters in other folders too: a relative entry of
# PYTHONPATH (PYTHONPATH=build/python) is made absolute for them, as it
# reads from the folder the tests were started in.
if os.environ.get("PYTHONPATH"):
    os.environ["PYTHONPATH"] = os.pathsep.join(
        os.path.abspath(entry) if entry else entry
        for entry in os.environ["PYTHONPATH"].split(os.pathsep))


def _no_core_dump():
    # Abort tests end processes by SIGABRT on purpose; no core files.
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


@pytest.fixture
def run_snippet():
    """Runs Python source in a fresh interpreter (this one's executable and
    environment, so the same PYTHONPATH) and gives the finished process:
    returncode (negative for a signal), stdout and stderr as text."""

    def run(source, timeout=60):
        return subprocess.run(
            [sys.executable, "-c", textwrap.dedent(source)],
            capture_output=True,
            text=True,
            encoding="utf-8",
            errors="backslashreplace",
            env=dict(os.environ),
            timeout=timeout,
            preexec_fn=_no_core_dump,
        )

    return run
