"""What the figures were measured on: the CPU, the interpreter, and the
compiler and flags that the module's build directory records."""

import functools
import glob
import math
import os
import platform
import re
import subprocess
import sys
import time


def cpu():
    model = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as info:
            for line in info:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return {
        "model": model,
        "cores": os.cpu_count(),
        "usable_cores": len(os.sched_getaffinity(0)),
        "system": f"{platform.system()} {platform.release()}",
        "last_level_cache_bytes": last_level_cache_bytes(),
        "reported_cache_bytes": reported_cache_bytes(),
        "measured_cache_bytes": measured_cache_bytes(),
    }


def reported_cache_bytes():
    """The largest data or unified cache, as the C library reports it
    (`getconf`, which reads the CPU itself), or None where it cannot say. A
    virtual machine's CPU may report what the hardware does not give it
    (508 MiB on one), so last_level_cache_bytes checks it."""
    largest = 0
    for level in ("LEVEL1_DCACHE_SIZE", "LEVEL2_CACHE_SIZE", "LEVEL3_CACHE_SIZE", "LEVEL4_CACHE_SIZE"):
        try:
            out = subprocess.run(["getconf", level], capture_output=True, text=True, timeout=10)
        except (OSError, subprocess.SubprocessError):
            return None
        value = out.stdout.strip()
        if out.returncode == 0 and value.isdigit():
            largest = max(largest, int(value))
    return largest or None


_MIB = 1 << 20
_SCAN_SIZES = [_MIB << k for k in range(1, 9)]  # 2 MiB .. 256 MiB


def _scan_ns_per_byte(buffer, size):
    """The best of a few timed scans of the buffer's first `size` bytes
    (bytes.find of an absent byte: one memchr)."""
    rounds = max(1, (64 * _MIB) // size)
    best = float("inf")
    for _ in range(3):
        started = time.perf_counter_ns()
        for _ in range(rounds):
            buffer.find(b"\x01", 0, size)
        best = min(best, (time.perf_counter_ns() - started) / (rounds * size))
    return best


@functools.cache
def measured_cache_bytes():
    """The largest scanned size (2 MiB .. 256 MiB, powers of two) that still
    reads at cache speed: closer to the 2 MiB rate than to the 256 MiB rate
    (on a log scale). None when the two rates do not differ by a quarter
    (no cache boundary within the sizes)."""
    buffer = b"\x02" * _SCAN_SIZES[-1]  # written, so every page is real
    rates = [_scan_ns_per_byte(buffer, size) for size in _SCAN_SIZES]
    if rates[-1] < 1.25 * rates[0]:
        return None
    threshold = math.sqrt(rates[0] * rates[-1])
    fitting = [size for size, rate in zip(_SCAN_SIZES, rates) if rate < threshold]
    # The first size past the boundary ends the cache.
    cache = _SCAN_SIZES[0]
    for size in _SCAN_SIZES:
        if size not in fitting:
            break
        cache = size
    return cache


@functools.cache
def last_level_cache_bytes():
    """The size up to which a text is read from the cache: the reported last-
    level cache, unless scans show main-memory speed sooner (then the
    largest size that scanned at cache speed). None where neither says."""
    reported = reported_cache_bytes()
    measured = measured_cache_bytes()
    if reported is None or measured is None:
        return reported or measured
    return min(reported, measured)


def interpreter():
    return {
        "implementation": platform.python_implementation(),
        "version": platform.python_version(),
        "build": sys.version.replace("\n", " "),
        "executable": sys.executable,
        "gil_enabled": sys._is_gil_enabled() if hasattr(sys, "_is_gil_enabled") else True,
    }


def _cache_entries(path):
    entries = {}
    with open(path, encoding="utf-8", errors="replace") as cache:
        for line in cache:
            match = re.match(r"^([A-Za-z_][A-Za-z0-9_.-]*):[A-Z]+=(.*)$", line.rstrip("\n"))
            if match:
                entries[match.group(1)] = match.group(2)
    return entries


def _compiler_identity(build_dir):
    for path in sorted(glob.glob(os.path.join(build_dir, "CMakeFiles", "*", "CMakeCXXCompiler.cmake"))):
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        ident = re.search(r'set\(CMAKE_CXX_COMPILER_ID "([^"]*)"\)', text)
        version = re.search(r'set\(CMAKE_CXX_COMPILER_VERSION "([^"]*)"\)', text)
        if ident:
            return f"{ident.group(1)} {version.group(1) if version else ''}".strip()
    return None


def _scoring_compile_flags(build_dir):
    """The flags that compiled the scoring core's score function, from the
    Ninja build file (None for other generators)."""
    path = os.path.join(build_dir, "build.ninja")
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
    except OSError:
        return None
    for i, line in enumerate(lines):
        if line.startswith("build ") and "lexical_score.cc.o:" in line:
            for follow in lines[i + 1 : i + 12]:
                if follow.strip().startswith("FLAGS ="):
                    return follow.split("=", 1)[1].strip()
    return None


def build(build_dir):
    """Compiler, build type and flags of a CMake build directory; the values
    are None when the directory has no CMakeCache.txt."""
    cache = os.path.join(build_dir, "CMakeCache.txt")
    if not os.path.exists(cache):
        return {"build_dir": build_dir, "compiler": None, "build_type": None, "flags": None}
    entries = _cache_entries(cache)
    build_type = entries.get("CMAKE_BUILD_TYPE", "")
    flags = " ".join(
        f
        for f in (entries.get("CMAKE_CXX_FLAGS", ""), entries.get(f"CMAKE_CXX_FLAGS_{build_type.upper()}", ""))
        if f
    )
    return {
        "build_dir": build_dir,
        "compiler": entries.get("CMAKE_CXX_COMPILER"),
        "compiler_id": _compiler_identity(build_dir),
        "build_type": build_type,
        "flags": flags,
        "scoring_compile_flags": _scoring_compile_flags(build_dir),
        "options": {k: v for k, v in sorted(entries.items()) if k.startswith("CORVANE_")},
    }
