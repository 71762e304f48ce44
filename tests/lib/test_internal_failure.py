"""A C++ failure inside a call ends the call with a Python exception and
leaves the process and the module working.  Exhausted memory raises
MemoryError, as the interpreter's own allocations do, so `except Exception`
sees it; any other C++ exception, a broken invariant, raises the internal
failure (derived from BaseException) and writes one line to standard error.
Each case runs in a child process: with its address space limited, so that
an allocation of the call fails, or with operator new made to throw."""

import json
import os

import pytest

from conftest import EMPTY_GAME, run_python

# Limits the child's address space to what it uses now plus `headroom`, runs
# `call`, reports the exception, lifts the limit and converts a game again.
CHILD = """
import json, os, resource, sys, _kiroku

def limit_address_space(headroom):
    with open("/proc/self/statm") as statm:
        size = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    _, hard = resource.getrlimit(resource.RLIMIT_AS)
    resource.setrlimit(resource.RLIMIT_AS, (size + headroom, hard))
    return hard

{prepare}
hard = limit_address_space(64 << 20)
try:
    {call}
    report = {{"raised": None}}
except Exception as error:
    report = {{"raised": "Exception", "type": type(error).__name__, "args": list(error.args)}}
except BaseException as error:
    cls = type(error)
    report = {{"raised": "BaseException", "module": cls.__module__, "name": cls.__name__,
              "bases": [b.__name__ for b in cls.__bases__], "args": list(error.args),
              "cause": repr(error.__cause__), "context": repr(error.__context__)}}
resource.setrlimit(resource.RLIMIT_AS, (hard, hard))
report["after"] = len(_kiroku.tenhou_to_mjai({empty!r}))
print(json.dumps(report))
"""


def run_out_of_memory(prepare, call):
    result = run_python(CHILD.format(prepare=prepare, call=call, empty=EMPTY_GAME))
    assert result.returncode == 0, result.stderr.decode()
    return json.loads(result.stdout), result.stderr.decode()


def check_memory_error(report, stderr):
    assert report == {"raised": "Exception", "type": "MemoryError", "args": [], "after": 2}
    assert stderr == ""  # as quiet as the interpreter's own MemoryError


class TestMemoryExhausted:
    def test_text_too_large_to_copy(self):
        # A 256 MiB ASCII str: its UTF-8 form is the str's own buffer, so the
        # first allocation of the call is the copy, which the limit refuses.
        report, stderr = run_out_of_memory('text = " " * (256 << 20)', "_kiroku.tenhou_to_mjai(text)")
        check_memory_error(report, stderr)

    def test_file_too_large_to_read(self, tmp_path):
        # A sparse file under the size limit whose size still asks for far
        # more memory than the address space allows.
        path = tmp_path / "huge.json"
        with open(path, "wb") as out:
            out.truncate(512 << 20)
        report, stderr = run_out_of_memory("", f"_kiroku.tenhou_file_to_mjai({str(path)!r})")
        check_memory_error(report, stderr)

    def test_failures_that_need_little_memory_still_raise_their_own_class(self):
        # Under the same limit an ordinary failure is reported as usual.
        report, stderr = run_out_of_memory("", "_kiroku.tenhou_to_mjai('{')")
        assert report == {"raised": "Exception", "type": "JsonParsingError", "args": ["failed to parse tenhou log"],
                          "after": 2}
        assert stderr == ""


class TestBrokenInvariant:
    @pytest.mark.parametrize(
        "function, call",
        [
            ("tenhou_to_mjai", f"_kiroku.tenhou_to_mjai({EMPTY_GAME!r})"),
            ("tenhou_file_to_mjai", "_kiroku.tenhou_file_to_mjai(path)"),
        ],
    )
    def test_other_cpp_exceptions_raise_the_internal_failure(self, tmp_path, function, call):
        shim = os.environ.get("KIROKU_THROWING_NEW_SHIM")
        if not shim or not os.path.exists(shim):
            pytest.skip("the throwing operator new is not built (KIROKU_THROWING_NEW_SHIM)")
        log = tmp_path / "log.json"
        log.write_text(EMPTY_GAME, encoding="utf-8")
        result = run_python(
            f"""
            import json, os, _kiroku
            path = {str(log)!r}
            os.environ["KIROKU_THROW_FROM_NEW"] = "1"
            try:
                {call}
                report = {{"raised": None}}
            except Exception as error:
                report = {{"raised": "Exception", "type": type(error).__name__}}
            except BaseException as error:
                cls = type(error)
                report = {{"raised": "BaseException", "module": cls.__module__, "name": cls.__name__,
                          "bases": [b.__name__ for b in cls.__bases__], "args": list(error.args),
                          "context": repr(error.__context__), "attribute": hasattr(_kiroku, cls.__name__)}}
            del os.environ["KIROKU_THROW_FROM_NEW"]
            report["after"] = len(_kiroku.tenhou_to_mjai({EMPTY_GAME!r}))
            print(json.dumps(report))
            """,
            env={"LD_PRELOAD": " ".join(filter(None, [os.environ.get("LD_PRELOAD"), shim]))},
        )
        assert result.returncode == 0, result.stderr.decode()
        assert json.loads(result.stdout) == {
            "raised": "BaseException",
            "module": "_kiroku",
            "name": "InternalError",
            "bases": ["BaseException"],
            "args": ["broken invariant (test)"],
            "context": "None",
            "attribute": False,  # the class is not among the module's attributes
            "after": 2,
        }
        assert result.stderr.decode() == f"_kiroku: internal failure in {function}: broken invariant (test)\n"
