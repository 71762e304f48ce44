"""A C++ failure inside a call (here: memory exhausted) ends the call with the
internal-failure exception, writes one line to standard error, and leaves the
process and the module working.  Each case runs in a child process whose
address space is limited, so that an allocation of the conversion fails."""

import json

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
    report = {{"raised": "Exception", "type": type(error).__name__}}
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


def check_internal_failure(report, stderr, function):
    assert report["raised"] == "BaseException", report
    assert report["module"] == "_kiroku"
    assert report["name"] == "InternalError"
    assert report["bases"] == ["BaseException"]
    assert report["args"] == ["out of memory"]
    assert report["cause"] == "None" and report["context"] == "None"
    assert stderr == f"_kiroku: internal failure in {function}: out of memory\n"
    # The module still converts once memory is available again.
    assert report["after"] == 2


def test_text_too_large_to_copy():
    # A 256 MiB ASCII str: its UTF-8 form is the str's own buffer, so the
    # first allocation of the call is the copy, which the limit refuses.
    report, stderr = run_out_of_memory('text = " " * (256 << 20)', "_kiroku.tenhou_to_mjai(text)")
    check_internal_failure(report, stderr, "tenhou_to_mjai")


def test_file_too_large_to_read(tmp_path):
    # A sparse file: its size asks for far more memory than the limit allows.
    path = tmp_path / "huge.json"
    with open(path, "wb") as out:
        out.truncate(16 << 30)
    report, stderr = run_out_of_memory("", f"_kiroku.tenhou_file_to_mjai({str(path)!r})")
    check_internal_failure(report, stderr, "tenhou_file_to_mjai")


def test_exception_handlers_for_exception_do_not_catch_it():
    report, _ = run_out_of_memory('text = " " * (256 << 20)', "_kiroku.tenhou_to_mjai(text)")
    assert report["raised"] != "Exception"


@pytest.mark.parametrize("headroom_call", ["_kiroku.tenhou_to_mjai('{')"])
def test_failures_that_need_little_memory_still_raise_their_own_class(headroom_call):
    # Under the same limit an ordinary failure is reported as usual.
    report, stderr = run_out_of_memory("", headroom_call)
    assert report == {"raised": "Exception", "type": "JsonParsingError", "after": 2}
    assert stderr == ""
