"""The module object: attributes, functions, exception classes, imports."""

import importlib
import inspect
import sys

import pytest

import _kiroku
from conftest import EMPTY_GAME, run_python

ATTRIBUTES = [
    "TenhouLogParsingError",
    "TenhouToMjaiError",
    "JsonSerializationError",
    "JsonParsingError",
    "tenhou_file_to_mjai",
    "tenhou_to_mjai",
    "__version__",
    "VERSION",
]
ERROR_CLASSES = [getattr(_kiroku, name) for name in ATTRIBUTES[:4]]


class TestModuleObject:
    def test_all_lists_the_eight_attributes_in_order(self):
        assert _kiroku.__all__ == ATTRIBUTES
        for name in ATTRIBUTES:
            assert hasattr(_kiroku, name)

    def test_star_import_brings_exactly_the_listed_names(self):
        namespace = {}
        exec("from _kiroku import *", namespace)
        assert sorted(k for k in namespace if k != "__builtins__") == sorted(ATTRIBUTES)

    def test_doc_is_the_empty_text(self):
        assert _kiroku.__doc__ == ""

    def test_version(self):
        assert _kiroku.__version__ == "0.3.0"
        assert _kiroku.VERSION == "0.3.0"
        assert type(_kiroku.VERSION) is str
        assert _kiroku.VERSION is not _kiroku.__version__


class TestFunctions:
    @pytest.mark.parametrize(
        "name, signature",
        [("tenhou_to_mjai", "(data)"), ("tenhou_file_to_mjai", "(filename, mjai_out=None)")],
    )
    def test_signature_and_doc(self, name, signature):
        function = getattr(_kiroku, name)
        assert function.__text_signature__ == signature
        assert function.__doc__ is None
        assert str(inspect.signature(function)) == signature
        for parameter in inspect.signature(function).parameters.values():
            assert parameter.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD

    @pytest.mark.parametrize("name", ["tenhou_to_mjai", "tenhou_file_to_mjai"])
    def test_bound_to_the_module(self, name):
        function = getattr(_kiroku, name)
        assert type(function).__name__ == "builtin_function_or_method"
        assert function.__name__ == name
        assert function.__qualname__ == name
        assert function.__module__ == "_kiroku"
        assert function.__self__ is _kiroku


class TestExceptionClasses:
    @pytest.mark.parametrize("error_class", ERROR_CLASSES, ids=ATTRIBUTES[:4])
    def test_class_shape(self, error_class):
        assert issubclass(error_class, ValueError)
        assert error_class.__bases__ == (ValueError,)
        assert error_class.__module__ == "_kiroku"
        assert error_class.__doc__ is None
        assert error_class.__name__ == error_class.__qualname__
        assert error_class is getattr(_kiroku, error_class.__name__)

    def test_no_class_derives_from_another(self):
        for a in ERROR_CLASSES:
            for b in ERROR_CLASSES:
                if a is not b:
                    assert not issubclass(a, b)

    def test_raised_classes_are_the_attributes(self):
        # The class a failure raises is the one the module exposes, not a twin.
        with pytest.raises(_kiroku.JsonParsingError) as info:
            _kiroku.tenhou_to_mjai("{")
        assert type(info.value) is _kiroku.JsonParsingError


class TestImport:
    def test_second_import_returns_the_same_module(self):
        first = sys.modules.pop("_kiroku")
        try:
            again = importlib.import_module("_kiroku")
            assert again is first
            assert again.tenhou_to_mjai is first.tenhou_to_mjai
        finally:
            sys.modules["_kiroku"] = first

    def test_reload_returns_the_same_module(self):
        assert importlib.reload(_kiroku) is _kiroku
        assert _kiroku.__all__ == ATTRIBUTES

    def test_exports_only_the_initialisation_function(self):
        # Everything of the core stays inside the shared object.
        import subprocess

        result = subprocess.run(["nm", "-D", "--defined-only", _kiroku.__file__], capture_output=True, text=True)
        if result.returncode != 0:
            pytest.skip("nm is not available")
        exported = [line.split()[-1] for line in result.stdout.splitlines() if " T " in line or " D " in line]
        assert exported == ["PyInit__kiroku"]

    def test_sub_interpreter_is_refused(self, tmp_path):
        report = tmp_path / "report.txt"
        inner = (
            "try:\n"
            "    import _kiroku\n"
            "    result = 'imported'\n"
            "except ImportError as error:\n"
            "    result = 'ImportError: ' + str(error)\n"
            f"open({str(report)!r}, 'w').write(result)\n"
        )
        code = (
            "import _kiroku\n"
            "try:\n"
            "    import _testcapi\n"
            "except ImportError:\n"
            "    raise SystemExit(3)\n"
            f"_testcapi.run_in_subinterp({inner!r})\n"
            # The first interpreter keeps its working module.
            f"assert len(_kiroku.tenhou_to_mjai({EMPTY_GAME!r})) == 2\n"
        )
        result = run_python(code)
        if result.returncode == 3:
            pytest.skip("_testcapi is not available")
        assert result.returncode == 0, result.stderr.decode()
        text = report.read_text()
        assert text.startswith("ImportError: ")
        assert "sub-interpreters" in text
