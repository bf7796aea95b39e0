"""The distributions as users get them: tools/dist makes the sdist from the
files git tracks and a manylinux wheel for this interpreter from that sdist
(offline, without node and git); the wheel needs only glibc at its tag's
version and libgcc_s, carries the licence, installs into a fresh
environment, imports and scores there, and is typed for type checkers."""

import os
import pathlib
import platform
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
ARCH = platform.machine()
# The newest glibc a wheel may need: manylinux_2_28 covers RHEL 8 and its
# rebuilds, Debian 11, Ubuntu 20.04 and newer.
GLIBC_FLOOR = (2, 28)

pytestmark = pytest.mark.timeout(900)


class _AnySize:
    """Equal to a size as du -h prints one (467K, 1.2M)."""

    def __eq__(self, other):
        return re.fullmatch(r"\d+(\.\d+)?[KMG]?", other) is not None


ANY_SIZE = _AnySize()


def clean_env():
    env = dict(os.environ)
    # The build tree must not shadow what the environment installed.
    env.pop("PYTHONPATH", None)
    return env


def run(*args, cwd=None, **extra_env):
    return subprocess.run(args, cwd=cwd, env=clean_env() | extra_env, capture_output=True,
                          text=True)


# What an earlier run left in the output folder: another interpreter's
# wheel, which stays, and this interpreter's of another tag, which the new
# one replaces.
OTHER_INTERPRETERS_WHEEL = f"corvane-0.1.0-cp399-cp399-manylinux_2_17_{ARCH}.whl"
STALE_WHEEL = f"corvane-0.1.0-{PYTHON_TAG}-{ABI_TAG}-manylinux_2_38_{ARCH}.whl"


@pytest.fixture(scope="module")
def dist(tmp_path_factory):
    """tools/dist's sdist and this interpreter's wheel for this machine,
    and what tools/dist said."""
    out = tmp_path_factory.mktemp("dist")
    for name in (OTHER_INTERPRETERS_WHEEL, STALE_WHEEL):
        (out / name).write_bytes(b"")
    made = run(str(ROOT / "tools" / "dist"), "--python", sys.executable, "--arch", ARCH,
               "--out", str(out), cwd=ROOT,
               CORVANE_DIST_BUILD_DIR=str(tmp_path_factory.mktemp("dist-build")))
    assert made.returncode == 0, made.stdout + made.stderr
    (sdist,) = out.glob("corvane-*.tar.gz")
    (wheel,) = out.glob(f"corvane-*-{PYTHON_TAG}-{ABI_TAG}-*manylinux*_{ARCH}.whl")
    return sdist, wheel, made


@pytest.fixture(scope="module")
def installed(dist, tmp_path_factory):
    """A fresh virtual environment with the wheel installed."""
    _, wheel, _ = dist
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
    _, wheel, _ = dist
    target = tmp_path_factory.mktemp("module") / MODULES[request.param].rsplit("/", 1)[-1]
    target.write_bytes(zipfile.ZipFile(wheel).read(MODULES[request.param]))
    return request.param, target


@pytest.mark.parametrize("command, args", [
    ("build", ["--bogus"]),
    ("build", ["--no-example", "extra"]),
    ("dist", ["--bogus"]),
    ("dist", ["--python"]),
    ("dist", ["--arch", "sparc"]),
])
def test_commands_refuse_what_they_do_not_know(command, args):
    # Checked before anything is built or provisioned.
    done = run(str(ROOT / "tools" / command), *args, cwd=ROOT)
    assert done.returncode == 2
    assert done.stdout == "" and f"usage: tools/{command} " in done.stderr


def test_dist_names_each_file_with_its_tag_and_size_and_keeps_other_wheels(dist):
    sdist, wheel, made = dist
    platform_tags = wheel.name.removesuffix(".whl").split("-")[-1]
    assert [line.split("  ") for line in made.stdout.splitlines()] == [
        [str(sdist), "sdist", ANY_SIZE], [str(wheel), platform_tags, ANY_SIZE]]
    assert (wheel.parent / OTHER_INTERPRETERS_WHEEL).exists()
    assert not (wheel.parent / STALE_WHEEL).exists()
    assert f"removing {wheel.parent / STALE_WHEEL}" in made.stderr


def test_sdist_holds_the_tracked_files_and_nothing_else(dist):
    sdist, _, _ = dist
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
    _, wheel, _ = dist
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


def test_auditwheel_finds_a_manylinux_wheel_within_the_glibc_floor(dist):
    _, wheel, _ = dist
    shown = run(sys.executable, "-m", "auditwheel", "show", str(wheel))
    assert shown.returncode == 0, shown.stdout + shown.stderr
    # auditwheel wraps its text at varying places.
    found = re.search(r'consistent\s+with\s+the\s+following\s+platform\s+tag:\s+'
                      rf'"manylinux_(\d+)_(\d+)_{ARCH}"', shown.stdout)
    assert found, shown.stdout
    assert (int(found.group(1)), int(found.group(2))) <= GLIBC_FLOOR
    tag = f"manylinux_{found.group(1)}_{found.group(2)}_{ARCH}"
    assert tag in wheel.name.removesuffix(".whl").split("-")[-1].split(".")


# What a module may need from the system: glibc (libpthread is part of it
# before 2.34) and its unwinder libgcc_s, which every manylinux policy
# allows.
SYSTEM_LIBRARIES = {"libc.so.6", "libm.so.6", "libpthread.so.0", "libgcc_s.so.1",
                    "ld-linux-x86-64.so.2", "ld-linux-aarch64.so.1"}


def test_module_needs_glibc_and_libgcc_s_alone(module_file):
    # The C++ runtime is inside each module: what it needs from the system
    # are glibc's and libgcc_s's versioned symbols, glibc's no newer than
    # the floor.
    name, module_file = module_file
    listing = run("objdump", "-p", str(module_file))
    assert listing.returncode == 0, listing.stderr
    needed = re.findall(r"^\s*NEEDED\s+(\S+)", listing.stdout, re.MULTILINE)
    assert set(needed) <= SYSTEM_LIBRARIES, needed
    versions = re.findall(r"^\s*0x[0-9a-f]+ 0x[0-9a-f]+ \d+ (\S+)$", listing.stdout, re.MULTILINE)
    assert versions and all(v.startswith(("GLIBC_", "GCC_")) for v in versions), versions
    glibc = [tuple(map(int, v.removeprefix("GLIBC_").split(".")[:2]))
             for v in versions if v.startswith("GLIBC_2.")]
    assert max(glibc) <= GLIBC_FLOOR, versions
    exported = run("nm", "-D", "--defined-only", str(module_file))
    assert [line.split()[-1] for line in exported.stdout.splitlines()] == [f"PyInit_{name}"]


def test_module_leaves_no_unversioned_symbol_but_the_interpreters(module_file):
    # A symbol without a version would be looked up wherever the loader
    # finds one, and a module linked against an older glibc could then
    # import only where a newer one happens to have it: the interpreter's
    # own symbols, and weak ones, are the only unversioned references.
    _, module_file = module_file
    table = run("objdump", "-T", str(module_file))
    assert table.returncode == 0, table.stderr
    unversioned = [fields[-1] for fields in map(str.split, table.stdout.splitlines())
                   if "*UND*" in fields and fields[1] != "w" and not fields[-2].startswith("(")
                   and not fields[-1].startswith(("Py", "_Py"))]
    assert unversioned == []


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
