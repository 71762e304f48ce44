"""A C++ failure inside a call ends the call with a Python exception and
leaves the process and the module working.  Exhausted memory raises
MemoryError, as the interpreter's own allocations do, so `except Exception`
sees it; any other C++ exception, a broken invariant, raises the internal
failure (derived from BaseException) and writes one line to standard error.
Each case runs in a child process: with its address space limited, so that
an allocation of the call fails, or with operator new made to throw."""

import json
import os
from pathlib import Path

import pytest

from conftest import EMPTY_GAME, run_python

# A game of one hand in Tenhou's XML form.
XML_GAME = (Path(__file__).parents[2] / "fuzz" / "seeds" / "xml" / "nine_terminals.xml").read_text(encoding="utf-8")

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

    @pytest.mark.parametrize(
        "text",
        [
            # A member no record lists, read a part at a time, and the parser's
            # pieces; XML outside Tenhou's form, read by libxml2.
            'json.dumps({"x": ["a" * 4096] * 2048, **json.loads(EMPTY)})',
            '"<!-- -->" + XML.replace("<SHUFFLE ", "<SHUFFLE x=\\"" + "a" * (8 << 20) + "\\" ")',
        ],
        ids=["json", "xml"],
    )
    def test_memory_running_out_anywhere_in_a_read_is_memory_error(self, text):
        # Memory is taken away a few MiB at a time, so that the call runs out
        # at one allocation after another: each is MemoryError, never a
        # refused log.
        outcomes = set()
        for filler in range(24, 64, 4):
            report, stderr = run_out_of_memory(f"EMPTY = {EMPTY_GAME!r}; XML = {XML_GAME!r}; text = {text}",
                                               f"filler = bytearray({filler} << 20); _kiroku.tenhou_to_mjai(text)")
            assert report.get("type") in (None, "MemoryError") and stderr == "", report
            outcomes.add(report.get("type") or report["raised"])
        assert "MemoryError" in outcomes

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
