"""What the import of _corvane gives: the module, its one function, and the
execution step run on module objects prepared in unusual ways."""

import importlib.machinery
import importlib.util
import inspect
import shutil
import subprocess
import sys
import types

import pytest

import _corvane


def fresh_origin(name="_corvane"):
    loader = importlib.machinery.ExtensionFileLoader(name, _corvane.__file__)
    return importlib.util.spec_from_file_location(name, _corvane.__file__, loader=loader)


def fresh_module(name="_corvane"):
    """A new, not yet executed module object made from the shared library."""
    origin = fresh_origin(name)
    return origin, importlib.util.module_from_spec(origin)


def execute(origin, module):
    origin.loader.exec_module(module)
    return module


def test_module_exports_and_doc():
    assert type(_corvane.__all__) is list
    assert _corvane.__all__ == ["lexical_score"]
    assert _corvane.__doc__ == ""
    assert _corvane.__name__ == "_corvane"


@pytest.mark.parametrize(
    "attribute, expected",
    [
        ("__name__", "lexical_score"),
        ("__qualname__", "lexical_score"),
        ("__module__", "_corvane"),
        ("__self__", None),
        ("__text_signature__", "(text, query)"),
        ("__doc__", None),
    ],
)
def test_function_attributes(attribute, expected):
    assert getattr(_corvane.lexical_score, attribute) == expected


def test_function_repr_and_signature():
    function = _corvane.lexical_score
    assert type(function) is types.BuiltinFunctionType
    assert repr(function) == "<built-in function lexical_score>"
    signature = inspect.signature(function)
    assert str(signature) == "(text, query)"
    assert [p.kind for p in signature.parameters.values()] == [
        inspect.Parameter.POSITIONAL_OR_KEYWORD] * 2


def test_function_module_is_the_name_at_execution_time():
    origin, module = fresh_module("outer.inner._corvane")
    execute(origin, module)
    assert module.lexical_score.__module__ == "outer.inner._corvane"

    origin, module = fresh_module()
    module.__name__ = "renamed_before_exec"
    execute(origin, module)
    module.__name__ = "renamed_after_exec"
    assert module.lexical_score.__module__ == "renamed_before_exec"


def test_each_module_object_gets_its_own_function():
    origin = fresh_origin()
    first = execute(origin, importlib.util.module_from_spec(origin))
    second = execute(origin, importlib.util.module_from_spec(origin))
    assert first is not second
    assert first.lexical_score is not second.lexical_score
    assert first.lexical_score is not _corvane.lexical_score
    assert second.lexical_score("The Cat sat", "cat dog") == 0.5
    assert first.__all__ is not second.__all__


class ListSubclass(list):
    pass


@pytest.mark.parametrize(
    "preset, after",
    [
        (["existing"], ["existing", "lexical_score"]),
        (ListSubclass(["existing"]), ["existing", "lexical_score"]),
        (["lexical_score"], ["lexical_score", "lexical_score"]),
        ([], ["lexical_score"]),
    ],
    ids=["list", "list-subclass", "already-listed", "empty-list"],
)
def test_preset_all_list_is_appended_to_and_kept(preset, after):
    kind = type(preset)
    origin, module = fresh_module()
    module.__all__ = preset
    execute(origin, module)
    assert module.__all__ is preset
    assert type(preset) is kind
    assert list(preset) == after


@pytest.mark.parametrize(
    "preset, message",
    [
        (("existing",), "'tuple' object is not an instance of 'list'"),
        (None, "'None' is not an instance of 'list'"),
        ("lexical_score", "'str' object is not an instance of 'list'"),
    ],
    ids=["tuple", "none", "str"],
)
def test_preset_all_of_another_type_fails_the_import(preset, message):
    origin, module = fresh_module()
    module.__all__ = preset
    with pytest.raises(TypeError) as raised:
        execute(origin, module)
    assert str(raised.value) == message
    assert "lexical_score" not in vars(module)
    assert module.__all__ == preset


class ReadFails(types.ModuleType):
    def __getattribute__(self, name):
        if name == "__all__":
            raise LookupError("no reading __all__")
        return super().__getattribute__(name)


class MissingViaSubclass(types.ModuleType):
    class Missing(AttributeError):
        pass

    def __getattribute__(self, name):
        if name == "__all__" and "__all__" not in super().__getattribute__("__dict__"):
            raise MissingViaSubclass.Missing(name)
        return super().__getattribute__(name)


class StoreAllFails(types.ModuleType):
    def __setattr__(self, name, value):
        if name == "__all__":
            raise PermissionError("no storing __all__")
        super().__setattr__(name, value)


class BindFails(types.ModuleType):
    def __setattr__(self, name, value):
        if name == "lexical_score":
            raise PermissionError("no binding lexical_score")
        super().__setattr__(name, value)


@pytest.mark.parametrize(
    "module_class, raised_type, message, all_after",
    [
        (ReadFails, LookupError, "no reading __all__", None),
        (StoreAllFails, PermissionError, "no storing __all__", None),
        # The name is appended before the function is bound, and stays.
        (BindFails, PermissionError, "no binding lexical_score", ["lexical_score"]),
    ],
    ids=["read-all", "store-all", "bind-function"],
)
def test_attribute_failures_fail_the_import(module_class, raised_type, message, all_after):
    origin, module = fresh_module()
    module.__class__ = module_class
    with pytest.raises(raised_type) as raised:
        execute(origin, module)
    assert type(raised.value) is raised_type
    assert str(raised.value) == message
    assert "lexical_score" not in vars(module)
    assert vars(module).get("__all__") == all_after


def test_attribute_error_subclass_counts_as_missing_all():
    origin, module = fresh_module()
    module.__class__ = MissingViaSubclass
    execute(origin, module)
    assert module.__all__ == ["lexical_score"]
    assert module.lexical_score("a", "a") == 1.0


def test_nameless_module_fails_the_import():
    origin, module = fresh_module()
    del module.__name__
    with pytest.raises(SystemError):
        execute(origin, module)
    assert "lexical_score" not in vars(module)


def probe_with_exec_def():
    probe = pytest.importorskip("_corvane_probe")
    exec_def = getattr(probe, "exec_module_def", None) or getattr(probe, "module_exec_def", None)
    if exec_def is None:
        pytest.skip("the probe module cannot run an execution step again")
    return exec_def


def test_second_execution_appends_again_and_rebinds():
    exec_def = probe_with_exec_def()
    origin, module = fresh_module()
    execute(origin, module)
    first = module.lexical_score
    exec_def(module)
    assert module.__all__ == ["lexical_score", "lexical_score"]
    assert module.lexical_score is not first
    assert module.lexical_score("a b", "b") == 1.0


def test_isolated_subinterpreter_refuses_the_module():
    interpreters = pytest.importorskip("concurrent.interpreters")
    interpreter = interpreters.create()
    try:
        with pytest.raises(interpreters.ExecutionFailed) as raised:
            interpreter.exec("import _corvane")
        assert "does not support loading in subinterpreters" in str(raised.value)
    finally:
        interpreter.close()


def test_only_the_init_function_is_exported():
    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("nm is not installed")
    listing = subprocess.run([nm, "-D", "--defined-only", _corvane.__file__],
                             capture_output=True, text=True, check=True).stdout
    symbols = [line.split()[-1] for line in listing.splitlines() if line.strip()]
    assert symbols == ["PyInit__corvane"]


def test_import_in_a_fresh_interpreter_is_quiet():
    out = subprocess.run(
        [sys.executable, "-c", "import _corvane; print(_corvane.__all__)"],
        capture_output=True, text=True)
    assert out.returncode == 0
    assert out.stdout == "['lexical_score']\n"
    assert out.stderr == ""
