"""Internal faults at the interpreter boundary: the PanicException class,
the fault report on the native standard error, resumed faults, and the
paths that end the process."""

import re
import signal

import pytest

import _corvane_probe as probe

PANIC_DOC = (
    "\nThe exception raised when Rust code called from Python panics.\n\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n"
)

BANNER = (
    "--- PyO3 is resuming a panic after fetching a PanicException from Python. ---\n"
    "Python stack trace below:\n"
)


def report(message):
    """Pattern of one fault report: thread, relative file:line:column, message."""
    return (r"thread '[^'\n]*' \(\d+\) faulted at (?!/)[^\n:]+\.cc:\d+:\d+:\n"
            + re.escape(message) + r"\n")


def caught(call, *args):
    try:
        call(*args)
    except BaseException as e:  # noqa: B036 - PanicException is a BaseException
        return e
    pytest.fail("no exception")


# --- the class that a caught fault becomes ---------------------------------

@pytest.mark.parametrize("check, expected", [
    (lambda e: type(e).__module__, "pyo3_runtime"),
    (lambda e: type(e).__name__, "PanicException"),
    (lambda e: type(e).__qualname__, "PanicException"),
    (lambda e: type(e).__bases__, (BaseException,)),
    (lambda e: type(e).__doc__, PANIC_DOC),
    (lambda e: isinstance(e, Exception), False),
    (lambda e: e.args, ("the message",)),
    (lambda e: type(e) is probe.panic_type(), True),
], ids=["module", "name", "qualname", "bases", "doc", "not-Exception",
        "args", "the-one-class"])
def test_caught_fault_becomes_panic_exception(check, expected):
    assert check(caught(probe.raise_fault, "the message")) == expected


@pytest.mark.parametrize("message, args", [
    ("boom", ("boom",)),
    ("", ("",)),
    ("two\nlines", ("two\nlines",)),
    ("ünïcödé ✓ 😀", ("ünïcödé ✓ 😀",)),
    ("a\ud800b", ("a\ufffd\ufffd\ufffdb",)),
], ids=["plain", "empty", "line-break", "non-ascii", "lone-surrogate-lossy"])
@pytest.mark.timeout(60)
def test_fault_report_precedes_the_panic_exception(run_snippet, message, args):
    done = run_snippet(f"""
        import os, _corvane_probe as probe
        try:
            probe.raise_fault({message!r})
        except BaseException as e:
            os.write(2, b"caught\\n")
            print(repr(e.args))
    """)
    assert done.returncode == 0, done.stderr
    assert done.stdout == repr(args) + "\n"
    lossy = args[0]
    assert re.fullmatch(report(lossy) + "caught\n", done.stderr), done.stderr


# --- a PanicException found pending resumes the fault ------------------------

RESUME = """
    import io, os, sys, _corvane_probe as probe
    sys.stdout.reconfigure(errors="backslashreplace")
    P = probe.panic_type()
    class Unprintable:
        def __str__(self):
            raise ValueError("no text")
    try:
        raise P({args})
    except BaseException as e:
        pending = e
    sys.stderr = captured = io.StringIO()
    os.write(2, b"before\\n")
    try:
        probe.take_pending_of(pending)
    except BaseException as e:
        new = e
    os.write(2, b"after\\n")
    sys.stderr = sys.__stderr__
    print(repr((type(new) is P, new is pending, new.args)))
    print(captured.getvalue(), end="")
"""


@pytest.mark.parametrize("args, new_args, printed", [
    ("'resumed message'", ("resumed message",), "resumed message"),
    ("1, 2", ("(1, 2)",), "(1, 2)"),
    ("'a\\ud800b'", ("a\ufffd\ufffd\ufffdb",), "a\\ud800b"),
    ("Unprintable()", ("Unwrapped panic from Python code",), "<exception str() failed>"),
], ids=["message", "two-args", "lone-surrogate", "failing-str"])
@pytest.mark.timeout(60)
def test_pending_panic_exception_resumes_as_new_panic(run_snippet, args, new_args, printed):
    done = run_snippet(RESUME.format(args=args))
    assert done.returncode == 0, done.stderr
    outcome, _, python_stderr = done.stdout.partition("\n")
    assert outcome == repr((True, False, new_args))
    # Banner on the native stream, no fault report for the resumed fault.
    assert done.stderr == "before\n" + BANNER + "after\n"
    # The instance's traceback through sys.stderr.
    assert python_stderr.startswith("Traceback (most recent call last):\n")
    assert "raise P(" in python_stderr
    assert python_stderr.endswith(f"pyo3_runtime.PanicException: {printed}\n")


class PanicSubclass(probe.panic_type()):
    pass


LikeNamed = type("PanicException", (BaseException,), {"__module__": "pyo3_runtime"})


@pytest.mark.parametrize("make", [
    lambda: PanicSubclass("sub"),
    lambda: LikeNamed("like-named"),
    lambda: ValueError("plain"),
    lambda: KeyboardInterrupt(),
], ids=["subclass", "like-named-class", "exception", "base-exception"])
def test_other_pending_exceptions_are_taken_as_they_are(make):
    exc = make()
    assert probe.take_pending_of(exc) is exc


def test_take_pending_with_nothing_pending_gives_nothing():
    assert probe.take_nothing() is True


# --- paths that end the process ---------------------------------------------

ABORTS = {
    "fault-while-raising": (
        "probe.fault_in_set_pending('maker broke')",
        report("maker broke") + report("uncaught panic at ffi boundary")),
    "raising-a-moved-from-error": (
        "probe.raise_moved_from()",
        report("PyErr state should never be invalid outside of normalization")
        + report("uncaught panic at ffi boundary")),
    "message-str-cannot-be-made": (
        "sys.unraisablehook = lambda u: None\n"
        "_testcapi.set_nomemory(0, 1)\n"
        "probe.raise_message(RuntimeError, 'needs a new str')",
        report("PyObject pointer is null") + report("uncaught panic at ffi boundary")),
    "panic-class-cannot-be-made-while-raising": (
        "_testcapi.set_nomemory(0, 1)\n"
        "probe.raise_fault('first fault')",
        report("first fault")
        + report("Failed to initialize new exception type.: PyErr { type: <class 'MemoryError'>,"
                 " value: MemoryError(), traceback: None }")
        + report("uncaught panic at ffi boundary")),
    "standard-exception-leaves-body": (
        "probe.foreign_exception('std')",
        re.escape("fatal error: an exception other than InternalFault reached the interpreter"
                  " boundary: not a fault\n")),
    "other-exception-leaves-body": (
        "probe.foreign_exception('other')",
        re.escape("fatal error: an exception other than InternalFault reached the interpreter"
                  " boundary\n")),
    "fault-in-function-that-cannot-unwind": (
        "probe.fault_without_unwinding('init broke')",
        report("init broke") + report("panic in a function that cannot unwind")),
    "module-memory-exhausted": (
        "probe.allocation_failed(12345)",
        re.escape("memory allocation of 12345 bytes failed\n")),
    "module-memory-refused": (
        "probe.reserve_text(2**62)",
        re.escape(f"memory allocation of {2**62 + 1} bytes failed\n")),
}


@pytest.mark.parametrize("call, stderr", ABORTS.values(), ids=ABORTS.keys())
@pytest.mark.timeout(60)
def test_abort_paths_end_the_process_by_sigabrt(run_snippet, call, stderr):
    done = run_snippet(
        "import sys, _testcapi, _corvane_probe as probe\n"
        "try:\n"
        + "".join(f"    {line}\n" for line in call.splitlines())
        + "except BaseException as e:\n"
          "    print('reached Python code:', repr(e))\n")
    assert done.returncode == -signal.SIGABRT, (done.returncode, done.stderr)
    assert done.stdout == ""
    assert re.fullmatch(stderr, done.stderr), done.stderr
