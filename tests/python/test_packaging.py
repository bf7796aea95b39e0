"""The wheel as users get it: built offline, installed into a fresh
environment, importable there, and typed for type checkers."""

import os
import pathlib
import subprocess
import sys
import textwrap

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]

pytestmark = pytest.mark.timeout(900)


def clean_env():
    env = dict(os.environ)
    # The build tree must not shadow what the environment installed.
    env.pop("PYTHONPATH", None)
    return env


def run(*args, cwd=None):
    return subprocess.run(args, cwd=cwd, env=clean_env(), capture_output=True, text=True)


@pytest.fixture(scope="module")
def installed(tmp_path_factory):
    """A fresh virtual environment with the wheel of this tree installed."""
    work = tmp_path_factory.mktemp("wheel")
    wheels = work / "dist"
    built = run(sys.executable, "-m", "pip", "wheel", "--no-build-isolation", "--no-deps",
                "--wheel-dir", str(wheels), str(ROOT), cwd=work)
    assert built.returncode == 0, built.stdout + built.stderr
    (wheel,) = wheels.glob("corvane-*.whl")
    venv = work / "venv"
    made = run(sys.executable, "-m", "venv", "--system-site-packages", "--without-pip", str(venv))
    assert made.returncode == 0, made.stderr
    python = venv / "bin" / "python"
    got = run(str(python), "-m", "pip", "install", "--no-deps", "--no-index", str(wheel))
    assert got.returncode == 0, got.stdout + got.stderr
    return python, wheel


def test_wheel_holds_the_module_and_its_stubs_only(installed):
    import zipfile

    _, wheel = installed
    names = zipfile.ZipFile(wheel).namelist()
    payload = sorted(n for n in names if ".dist-info/" not in n)
    assert len(payload) == 2, payload
    assert payload[0] == "_corvane-stubs/__init__.pyi"
    assert payload[1].startswith("_corvane.cpython-314") and payload[1].endswith(".so")


def test_installed_module_imports_from_the_environment_and_scores(installed):
    python, _ = installed
    out = run(str(python), "-c",
              "import _corvane, sys; print(_corvane.__file__.startswith(sys.prefix)); "
              "print(_corvane.lexical_score('The Cat sat', 'cat dog'))", cwd="/")
    assert out.returncode == 0, out.stderr
    assert out.stdout.split() == ["True", "0.5"]


def test_stubtest_agrees_with_the_built_module(installed):
    python, _ = installed
    out = run(str(python), "-m", "mypy.stubtest", "_corvane", cwd="/")
    assert out.returncode == 0, out.stdout + out.stderr


@pytest.mark.parametrize(
    "snippet, accepted",
    [
        ("""
         from _corvane import lexical_score
         score: float = lexical_score("The Cat sat", "cat dog")
         """, True),
        ("""
         import _corvane
         def best(texts: list[str], query: str) -> float:
             return max(_corvane.lexical_score(text=t, query=query) for t in texts)
         """, True),
        ("""
         from _corvane import lexical_score
         lexical_score(b"text", "query")
         """, False),
        ("""
         from _corvane import lexical_score
         name: str = lexical_score("text", "query")
         """, False),
    ],
    ids=["positional", "keywords", "bytes-refused", "result-is-float"],
)
def test_type_checkers_see_the_signature(installed, tmp_path, snippet, accepted):
    python, _ = installed
    source = tmp_path / "snippet.py"
    source.write_text(textwrap.dedent(snippet))
    out = run(str(python), "-m", "mypy", "--strict", "--no-incremental", str(source),
              cwd=tmp_path)
    assert (out.returncode == 0) == accepted, out.stdout + out.stderr
