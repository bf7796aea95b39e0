"""What CMake's configure step decides before anything is compiled: the
interpreter named decides the version the modules are built for, and an
unsupported interpreter or a compiler too old for the code stops it with a
message that says what is needed."""

import pathlib
import shutil
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]

# Stand-ins, each a script that runs the real tool: an interpreter that
# reports itself as CPython 3.13 (FindPython asks with -c), and a GCC that
# reports version 12.
FAKE_PYTHON_313 = """#!/bin/sh
if [ "$1" = -c ]; then
  code=$2
  shift 2
  exec {python} -c "import sys; sys.version_info = (3, 13, 1, 'final', 0)
$code" "$@"
fi
exec {python} "$@"
"""
FAKE_GCC_12 = """#!/bin/sh
exec {cxx} -U__GNUC__ -D__GNUC__=12 -Wno-builtin-macro-redefined "$@"
"""


@pytest.mark.parametrize("variable, program, expected", [
    ("Python_EXECUTABLE", "python3.15", "_corvane.cpython-315-"),
    ("Python_EXECUTABLE", FAKE_PYTHON_313, "corvane builds for CPython 3.14 and 3.15 only"),
    ("CMAKE_CXX_COMPILER", FAKE_GCC_12, "it needs GCC 13 or newer, or clang 19 or newer"),
], ids=["python-3.15-builds-for-3.15", "python-3.13-refused", "gcc-12-refused"])
def test_configure_follows_the_interpreter_and_refuses_what_cannot_build(tmp_path, variable,
                                                                          program, expected):
    tools = {name: shutil.which(name) for name in ("python3.14", "python3.15", "g++")}
    if None in tools.values():
        pytest.skip("needs python3.14, python3.15 and g++ (the toolchain root has them)")
    if program in tools:
        program = tools[program]
    else:
        script = tmp_path / "stand-in"
        script.write_text(program.format(python=tools["python3.14"], cxx=tools["g++"]))
        script.chmod(0o755)
        program = str(script)
    build = tmp_path / "build"
    done = subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja",
                           "-DCORVANE_TESTS=OFF", f"-D{variable}={program}"],
                          capture_output=True, text=True, check=False)
    if expected.startswith("_corvane"):
        assert done.returncode == 0, done.stdout + done.stderr
        assert expected in (build / "build.ninja").read_text()
    else:
        assert done.returncode != 0
        assert expected in " ".join(done.stderr.split()), done.stderr
