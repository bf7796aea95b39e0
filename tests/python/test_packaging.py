"""The distributions as users get them: tools/dist makes the sdist from the
files git tracks and a manylinux wheel for this interpreter from that sdist;
the wheel needs only the C library, carries the licence, installs into a
fresh environment, imports and scores there, and is typed for type
checkers."""

import os
import pathlib
import re
import subprocess
import sys
import sysconfig
import tarfile
import textwrap
import zipfile

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
# The wheel's interpreter and ABI tags: cp314-cp314, cp315-cp315, cp314-cp314d.
PYTHON_TAG = f"cp{sys.version_info.major}{sys.version_info.minor}"
ABI_TAG = PYTHON_TAG + sys.abiflags

pytestmark = pytest.mark.timeout(900)


def clean_env():
    env = dict(os.environ)
    # The build tree must not shadow what the environment installed.
    env.pop("PYTHONPATH", None)
    return env


def run(*args, cwd=None, **extra_env):
    return subprocess.run(args, cwd=cwd, env=clean_env() | extra_env, capture_output=True,
                          text=True)


@pytest.fixture(scope="module")
def dist(tmp_path_factory):
    """tools/dist's sdist and this interpreter's wheel."""
    out = tmp_path_factory.mktemp("dist")
    made = run(str(ROOT / "tools" / "dist"), "--python", sys.executable, "--out", str(out),
               cwd=ROOT, CORVANE_DIST_BUILD_DIR=str(tmp_path_factory.mktemp("dist-build")))
    assert made.returncode == 0, made.stdout + made.stderr
    (sdist,) = out.glob("corvane-*.tar.gz")
    (wheel,) = out.glob(f"corvane-*-{PYTHON_TAG}-{ABI_TAG}-manylinux_*.whl")
    assert made.stdout.split() == [str(sdist), str(wheel)]
    return sdist, wheel


@pytest.fixture(scope="module")
def installed(dist, tmp_path_factory):
    """A fresh virtual environment with the wheel installed."""
    _, wheel = dist
    venv = tmp_path_factory.mktemp("venv") / "venv"
    made = run(sys.executable, "-m", "venv", "--system-site-packages", "--without-pip", str(venv))
    assert made.returncode == 0, made.stderr
    python = venv / "bin" / "python"
    got = run(str(python), "-m", "pip", "install", "--no-deps", "--no-index", str(wheel))
    assert got.returncode == 0, got.stdout + got.stderr
    return python


EXT_SUFFIX = sysconfig.get_config_var("EXT_SUFFIX")
MODULES = {"_corvane": f"_corvane{EXT_SUFFIX}", "_native": f"corvane/_native{EXT_SUFFIX}"}


@pytest.fixture(scope="module", params=sorted(MODULES))
def module_file(request, dist, tmp_path_factory):
    _, wheel = dist
    target = tmp_path_factory.mktemp("module") / MODULES[request.param].rsplit("/", 1)[-1]
    target.write_bytes(zipfile.ZipFile(wheel).read(MODULES[request.param]))
    return request.param, target


@pytest.mark.parametrize("command, args", [
    ("build", ["--bogus"]),
    ("build", ["--no-example", "extra"]),
    ("dist", ["--bogus"]),
    ("dist", ["--python"]),
])
def test_commands_refuse_what_they_do_not_know(command, args):
    # Checked before anything is built or provisioned.
    done = run(str(ROOT / "tools" / command), *args, cwd=ROOT)
    assert done.returncode == 2
    assert done.stdout == "" and f"usage: tools/{command} " in done.stderr


def test_sdist_holds_the_tracked_files_and_nothing_else(dist):
    sdist, _ = dist
    tracked = run("git", "ls-files", "-z", cwd=ROOT)
    assert tracked.returncode == 0, tracked.stderr
    expected = {name for name in tracked.stdout.split("\0") if name and (ROOT / name).exists()}
    with tarfile.open(sdist) as archive:
        prefix = sdist.name.removesuffix(".tar.gz") + "/"
        members = {m.name.removeprefix(prefix) for m in archive.getmembers() if m.isfile()}
        assert archive.extractfile(prefix + "LICENSE").read() == (ROOT / "LICENSE").read_bytes()
    assert members - expected == {"PKG-INFO"}
    assert expected - members == set()


def test_wheel_holds_the_module_its_stubs_and_the_licence(dist):
    _, wheel = dist
    archive = zipfile.ZipFile(wheel)
    names = archive.namelist()
    payload = sorted(n for n in names if ".dist-info/" not in n and not n.endswith("/"))
    assert payload == sorted(["_corvane-stubs/__init__.pyi", "corvane/__init__.py",
                              "corvane/_native.pyi", "corvane/py.typed", *MODULES.values()])
    info = f"{wheel.name.split('-')[0]}-{wheel.name.split('-')[1]}.dist-info"
    assert archive.read(f"{info}/licenses/LICENSE") == (ROOT / "LICENSE").read_bytes()
    metadata = archive.read(f"{info}/METADATA").decode()
    assert "License-Expression: MIT\n" in metadata
    assert "Typing :: Stubs Only" not in metadata


def test_auditwheel_finds_a_manylinux_wheel(dist):
    _, wheel = dist
    shown = run(sys.executable, "-m", "auditwheel", "show", str(wheel))
    assert shown.returncode == 0, shown.stdout + shown.stderr
    # auditwheel wraps its text at varying places.
    found = re.search(r'consistent\s+with\s+the\s+following\s+platform\s+tag:\s+'
                      r'"(manylinux_2_\d+_x86_64)"', shown.stdout)
    assert found, shown.stdout
    assert wheel.name.endswith(f"-{found.group(1)}.whl")


def test_module_needs_the_c_library_alone(module_file):
    # The C++ and GCC runtimes are inside each module: what it needs from
    # the system are the C library and the dynamic loader, and only glibc's
    # symbol versions.
    name, module_file = module_file
    listing = run("objdump", "-p", str(module_file))
    assert listing.returncode == 0, listing.stderr
    needed = re.findall(r"^\s*NEEDED\s+(\S+)", listing.stdout, re.MULTILINE)
    assert set(needed) <= {"libc.so.6", "libm.so.6", "ld-linux-x86-64.so.2"}, needed
    versions = re.findall(r"^\s*0x[0-9a-f]+ 0x[0-9a-f]+ \d+ (\S+)$", listing.stdout, re.MULTILINE)
    assert versions and all(v.startswith("GLIBC_") for v in versions), versions
    exported = run("nm", "-D", "--defined-only", str(module_file))
    assert [line.split()[-1] for line in exported.stdout.splitlines()] == [f"PyInit_{name}"]


def test_installed_module_imports_from_the_environment_and_scores(installed):
    out = run(str(installed), "-c",
              "import _corvane, corvane, sys; print(_corvane.__file__.startswith(sys.prefix)); "
              "print(_corvane.lexical_score('The Cat sat', 'cat dog')); "
              "print(corvane.Query('cat dog').score_many(['The Cat sat'], workers=2))", cwd="/")
    assert out.returncode == 0, out.stderr
    assert out.stdout.split() == ["True", "0.5", "[0.5]"]


@pytest.mark.parametrize("module", ["_corvane", "corvane", "corvane._native"])
def test_stubtest_agrees_with_the_built_module(installed, module):
    out = run(str(installed), "-m", "mypy.stubtest", module, cwd="/")
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
        ("""
         import corvane
         query = corvane.Query("cat dog")
         scores: list[float] = query.score_many(["The Cat sat"], workers=-1)
         best: list[tuple[str, float, int]] = corvane.extract(query, ["a dog"], limit=1)
         rows: list[list[float]] = corvane.cdist(["cat"], ["a cat"]).tolist()
         words: tuple[str, ...] = query.matched("The Cat")
         """, True),
        ("""
         import corvane
         corvane.Query("cat").score_many(["x"], workers="all")
         """, False),
    ],
    ids=["positional", "keywords", "bytes-refused", "result-is-float", "batch", "workers-is-int"],
)
def test_type_checkers_see_the_signature(installed, tmp_path, snippet, accepted):
    source = tmp_path / "snippet.py"
    source.write_text(textwrap.dedent(snippet))
    out = run(str(installed), "-m", "mypy", "--strict", "--no-incremental", str(source),
              cwd=tmp_path)
    assert (out.returncode == 0) == accepted, out.stdout + out.stderr
