"""Exhausted memory. When the module's own buffer cannot be had, the process
writes exactly "memory allocation of N bytes failed" on its native standard
error and dies by SIGABRT; a size that no allocation can ever hold is an
internal fault instead, raised as PanicException "capacity overflow".
(The interpreter's own allocations failing, for the result float, is covered
with the binding tests.)"""

import os
import re
import signal

import pytest

pytestmark = pytest.mark.thread_unsafe(reason="runs subprocesses")

EXHAUSTED = re.compile(r"memory allocation of (\d+) bytes failed\n")
SANITIZED = os.environ.get("CORVANE_SANITIZED") == "1"

# In a fresh process: build the arguments, score them once unlimited (so
# that the interpreter has made every UTF-8 form and cache it needs), then
# cap the address space at what is mapped now plus a headroom too small for
# the buffers that the call makes for itself, and score again. Buffers this
# large are mapped afresh for each call and unmapped when freed, so the
# second call's copy must fail.
UNDER_LIMIT = """
    import resource, sys
    from _corvane import lexical_score
    text, query = {arguments}
    lexical_score(text, query)

    def mapped():
        with open("/proc/self/status") as status:
            for line in status:
                if line.startswith("VmSize:"):
                    return int(line.split()[1]) * 1024

    headroom = {headroom}
    limit = mapped() + headroom
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    print(lexical_score(text, query), flush=True)
"""

SIZE = 96 << 20  # beyond the allocator's largest threshold for reusing freed maps

CASES = {
    # The text's lowercased copy. Text is lowercased a piece at a time, cut
    # only where lowercasing cannot depend on what lies across the cut; a
    # text made only of apostrophes (case-ignorable) has no such place, so
    # it is one piece, copied whole.
    "text-copy": (f"(\"'\" * {SIZE}, 'ab')", SIZE // 2, SIZE),
    # The same with a mapping that lengthens: U+0130 lowercases to three
    # bytes from two, so the copy needs room for half as much again. Text of
    # code points is searched without a copy where every word has anchors;
    # "i" has none (U+0130 lowercases to it too).
    "growing-text-copy": (f"(\"\\u0130'\" * {SIZE // 3}, 'i')", SIZE + SIZE // 4, SIZE * 3 // 2),
    # One query word of SIZE bytes: its own lowercased copy.
    "query-word-copy": (f"('small text', 'Q' * {SIZE})", SIZE // 2, SIZE),
}


@pytest.mark.skipif(SANITIZED, reason="an address-space limit breaks the sanitizer's shadow maps")
@pytest.mark.timeout(300)
@pytest.mark.parametrize("arguments, headroom, smallest", CASES.values(), ids=CASES.keys())
def test_own_buffer_that_cannot_be_had_ends_the_process(run_snippet, arguments, headroom,
                                                         smallest):
    done = run_snippet(UNDER_LIMIT.format(arguments=arguments, headroom=headroom), timeout=240)
    assert done.returncode == -signal.SIGABRT, (done.returncode, done.stderr[-2000:])
    assert done.stdout == ""
    line = EXHAUSTED.fullmatch(done.stderr)
    assert line is not None, done.stderr[-2000:]
    assert int(line.group(1)) >= smallest


# A text holds at most 2**63 - 2 bytes (its terminator makes the request
# one more, the largest that an allocation may be asked for). Sizes up to
# there end like exhausted memory; beyond, the request is refused before
# any allocation, as a fault that Python code can catch.
LARGEST_TEXT = 2**63 - 2


@pytest.mark.skipif(SANITIZED, reason="the sanitizer's allocator reports huge requests itself")
@pytest.mark.timeout(60)
@pytest.mark.parametrize("size", [2**40, 2**62, LARGEST_TEXT],
                         ids=["one-tib", "four-eib", "largest-text"])
def test_reserving_more_than_there_is_ends_the_process(run_snippet, size):
    done = run_snippet(f"""
        import resource
        import _corvane_probe as probe
        resource.setrlimit(resource.RLIMIT_AS, (1 << 34, 1 << 34))
        probe.reserve_text({size})
        print("returned")
    """)
    assert done.returncode == -signal.SIGABRT, (done.returncode, done.stderr[-2000:])
    assert done.stdout == ""
    line = EXHAUSTED.fullmatch(done.stderr)
    assert line is not None, done.stderr[-2000:]
    assert int(line.group(1)) > size


@pytest.mark.parametrize("size", [LARGEST_TEXT + 1, 2**63, 2**64 - 2],
                         ids=["largest-text+1", "2**63", "2**64-2"])
def test_size_beyond_any_text_is_capacity_overflow(run_snippet, size):
    # In a subprocess: if the size were taken for an allocation, the
    # process would end.
    done = run_snippet(f"""
        import _corvane_probe as probe
        try:
            probe.reserve_text({size})
        except BaseException as e:
            print(type(e) is probe.panic_type(), e.args)
    """)
    assert done.returncode == 0, done.stderr[-2000:]
    assert done.stdout == "True ('capacity overflow',)\n"
    assert "capacity overflow" in done.stderr
