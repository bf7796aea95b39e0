"""Error values at the interpreter boundary: raising lazy and normalized
errors, taking the pending exception, normalization (also from several
threads), inspection, the unraisable-error hook and null results."""

import json
import re
import sys
import types

import pytest

import _corvane_probe as probe

PANIC = probe.panic_type()


def caught(call, *args):
    try:
        call(*args)
    except BaseException as e:  # noqa: B036
        return e
    pytest.fail("no exception")


def raised(exc):
    """`exc` after being raised, so that it carries a traceback."""
    try:
        raise exc
    except BaseException as e:  # noqa: B036
        return e


# --- raising ---------------------------------------------------------------

@pytest.mark.parametrize("type_, argument", [
    (ValueError("an instance"), object()),
    (int, object()),
    ("a str", object()),
    (None, None),
], ids=["exception-instance", "int-class", "str-instance", "none"])
def test_lazy_maker_yielding_a_non_exception_class_raises_type_error(type_, argument):
    before = sys.getrefcount(type_), sys.getrefcount(argument)
    for _ in range(3):
        e = caught(probe.raise_lazy, type_, argument)
        assert type(e) is TypeError
        assert e.args == ("exceptions must derive from BaseException",)
    del e
    # The yielded objects are released, not raised.
    assert (sys.getrefcount(type_), sys.getrefcount(argument)) == before


@pytest.mark.parametrize("argument, args", [
    (None, ()),
    ("one", ("one",)),
    (("a", 2), ("a", 2)),
], ids=["none-no-args", "object-single-arg", "tuple-is-args"])
def test_lazy_maker_argument_becomes_the_instance_args(argument, args):
    e = caught(probe.raise_lazy, KeyError, argument)
    assert type(e) is KeyError and e.args == args


def test_exception_instance_is_raised_as_it_is():
    exc = ValueError("same")
    assert caught(probe.raise_object, exc) is exc


@pytest.mark.parametrize("obj, expected_type, args", [
    (LookupError, LookupError, ()),
    (5, TypeError, ("exceptions must derive from BaseException",)),
    (object, TypeError, ("exceptions must derive from BaseException",)),
], ids=["exception-class", "int", "non-exception-class"])
def test_object_that_is_not_an_instance_is_raised_through_the_object_maker(
        obj, expected_type, args):
    e = caught(probe.raise_object, obj)
    assert type(e) is expected_type and e.args == args


@pytest.mark.parametrize("cls, message", [
    (RuntimeError, "invalid input: query cannot be empty"),
    (TypeError, "lexical_score() got an unexpected keyword argument 'foo'"),
    (SystemError, "s"),
    (RuntimeError, "ünïcödé\n😀"),
])
def test_message_error_has_its_class_and_one_argument(cls, message):
    e = caught(probe.raise_message, cls, message)
    assert type(e) is cls and e.args == (message,)
    assert e.__cause__ is None and e.__context__ is None


def test_fetch_with_nothing_pending_gives_system_error():
    e = caught(probe.fetch_nothing)
    assert type(e) is SystemError
    assert e.args == ("attempted to fetch exception but none was set",)


def _lossy_qualname():
    cls = type("C", (), {})
    cls.__qualname__ = "a\ud800b"
    return cls()


def _local_class():
    class Local:
        pass
    return Local()


@pytest.mark.parametrize("obj, expected, message", [
    (3, str, "'int' object is not an instance of 'str'"),
    (None, str, "'None' is not an instance of 'str'"),
    (b"x", str, "'bytes' object is not an instance of 'str'"),
    ((), list, "'tuple' object is not an instance of 'list'"),
    (3.5, types.ModuleType, "'float' object is not an instance of 'module'"),
    (_local_class(), str,
     "'_local_class.<locals>.Local' object is not an instance of 'str'"),
    (_lossy_qualname(), str,
     "'a\ufffd\ufffd\ufffdb' object is not an instance of 'str'"),
    (3, 5, "'int' object is not an instance of '<failed to extract type name>'"),
], ids=["int", "none", "bytes", "tuple-list", "module", "local-class", "lossy-name",
        "expected-not-a-type"])
def test_type_mismatch_message(obj, expected, message):
    e = caught(probe.raise_type_mismatch, obj, expected)
    assert type(e) is TypeError and e.args == (message,)


# --- normalization -----------------------------------------------------------

def test_normalize_twice_does_the_work_once():
    first, second, runs, before, after = probe.normalize_twice()
    assert first is second
    assert runs == 1
    assert (before, after) == (False, True)


def test_exception_type_of_lazy_error_normalizes_it():
    assert probe.exception_type_of_lazy_runtime_error() == (RuntimeError, True)


@pytest.mark.parametrize("threads", [2, 4, 8])
@pytest.mark.timeout(60)
def test_normalize_from_threads_gives_one_instance(threads):
    values, runs = probe.normalize_from_threads(threads)
    assert len(values) == threads
    assert all(v is values[0] for v in values)
    assert type(values[0]) is RuntimeError and values[0].args == ("counted",)
    assert runs == 1


def test_reentrant_normalization_is_a_fault():
    e = caught(probe.reentrant_normalize)
    assert type(e) is PANIC
    assert e.args == ("Re-entrant normalization of PyErrState detected",)


class Forgetful(Exception):
    def __init__(self, *args):
        self.args = ()


@pytest.mark.skipif(hasattr(sys, "gettotalrefcount"),
                    reason="a debug interpreter stops at a deallocator that clears the error")
def test_exception_missing_after_raising_is_a_fault():
    # The maker's argument clears the pending error when it is released;
    # nothing else can run between raising and taking back.
    e = caught(probe.normalize_with_clearing_argument, Forgetful)
    assert type(e) is PANIC
    assert e.args == ("exception missing after writing to the interpreter",)


@pytest.mark.timeout(60)
def test_value_whose_normalization_faulted_can_only_be_dropped(run_snippet):
    done = run_snippet("""
        import json, _corvane_probe as probe
        results = []
        for call, args in [(probe.spoil, ()), (probe.use_spoiled, ("normalize",)),
                           (probe.use_spoiled, ("set_pending",))]:
            try:
                call(*args)
            except BaseException as e:
                results.append([type(e).__name__, *e.args])
        [on_thread] = probe.use_spoiled("normalize_on_thread")
        results.append([type(on_thread).__name__, *on_thread.args])
        print(json.dumps(results))
    """)
    assert done.returncode == 0, done.stderr
    assert json.loads(done.stdout) == [
        ["PanicException", "maker fault"],
        ["PanicException", "Cannot normalize a PyErr while already normalizing it."],
        ["PanicException", "PyErr state should never be invalid outside of normalization"],
        ["PanicException", "Cannot normalize a PyErr while already normalizing it."],
    ]


@pytest.mark.timeout(60)
def test_normalization_while_finalizing_is_a_fault(run_snippet):
    done = run_snippet("""
        import os, _corvane_probe as probe
        class Late:
            def __del__(self):
                try:
                    probe.normalize_lazy("late")
                except BaseException as e:
                    os.write(2, ("caught " + repr(e) + "\\n").encode())
        late = Late()
    """)
    assert done.returncode == 0, done.stderr
    message = "Cannot attach to the Python interpreter while it is finalizing."
    assert re.search(r"faulted at [^\n]+:\n" + re.escape(message) + "\ncaught PanicException\\('"
                     + re.escape(message) + "'\\)\n", done.stderr), done.stderr


# --- inspection --------------------------------------------------------------

def test_exception_type_is_the_instance_class():
    assert probe.exception_type_of(KeyError("k")) is KeyError


CAUSE = ValueError("cause")


def _with_cause(cause):
    exc = KeyError("with cause")
    exc.__cause__ = cause
    return exc


@pytest.mark.parametrize("exc, cause", [
    (KeyError("no cause"), None),
    (_with_cause(CAUSE), CAUSE),
], ids=["absent", "present"])
def test_exception_cause(exc, cause):
    assert probe.exception_cause_of(exc) is cause


def test_exception_traceback():
    exc = raised(KeyError("k"))
    assert probe.exception_traceback_of(exc) is exc.__traceback__
    assert probe.exception_traceback_of(KeyError("never raised")) is None


def test_into_exception_object_gives_the_instance_with_its_traceback():
    exc = raised(KeyError("k"))
    traceback = exc.__traceback__
    assert probe.into_exception_object_of(exc) is exc
    assert exc.__traceback__ is traceback


# --- the unraisable-error hook and null results ------------------------------

@pytest.fixture
def unraisable(monkeypatch):
    seen = []
    monkeypatch.setattr(sys, "unraisablehook", lambda u: seen.append((u.exc_value, u.object)))
    return seen


@pytest.mark.parametrize("obj", ["the named object", None], ids=["with-object", "no-object"])
def test_report_unraisable_hands_error_and_object_to_the_hook(unraisable, obj):
    exc = ValueError("unraisable")
    assert probe.report_unraisable_of(exc, obj) is None
    assert unraisable == [(exc, obj)]


@pytest.mark.parametrize("pending, hooked", [
    (MemoryError(), True),
    (None, False),
], ids=["error-pending", "nothing-pending"])
def test_null_result_is_a_fault_after_the_hook(unraisable, pending, hooked):
    e = caught(probe.null_result_with, pending)
    assert type(e) is PANIC and e.args == ("PyObject pointer is null",)
    assert unraisable == ([(pending, None)] if hooked else [])


@pytest.mark.timeout(60)
def test_float_result_that_cannot_be_made(run_snippet):
    done = run_snippet("""
        import sys, _testcapi, _corvane_probe as probe
        seen = []
        sys.unraisablehook = lambda u: seen.append((type(u.exc_value).__name__, u.object))
        keep = [i + 0.5 for i in range(100000)]  # drains the float free list
        _testcapi.set_nomemory(0, 1)
        try:
            probe.make_float(2.5)
        except BaseException as e:
            _testcapi.remove_mem_hooks()
            print(type(e).__name__, e.args, seen)
    """)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "PanicException ('PyObject pointer is null',) [('MemoryError', None)]\n"


@pytest.mark.timeout(60)
def test_panic_class_that_cannot_be_made_is_tried_again(run_snippet):
    done = run_snippet("""
        import _testcapi, _corvane_probe as probe
        _testcapi.set_nomemory(0, 1)
        try:
            probe.panic_type()
        except BaseException as e:
            _testcapi.remove_mem_hooks()
            print(type(e).__name__, type(e).__module__, type(e) is probe.panic_type())
            print(e.args[0])
    """)
    assert done.returncode == 0, done.stderr
    assert done.stdout == (
        "PanicException pyo3_runtime True\n"
        "Failed to initialize new exception type.: PyErr { type: <class 'MemoryError'>,"
        " value: MemoryError(), traceback: None }\n")
