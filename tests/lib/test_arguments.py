"""Argument binding and conversion of both functions: the TypeError texts."""

import json
import os
import pathlib

import pytest

import _kiroku
from conftest import EMPTY_GAME, PARSE_MESSAGE


def type_error_message(call):
    with pytest.raises(TypeError) as info:
        call()
    assert type(info.value) is TypeError
    assert info.value.args == (str(info.value),)
    return str(info.value)


class TestBinding:
    @pytest.mark.parametrize(
        "call, message",
        [
            (lambda: _kiroku.tenhou_to_mjai(), "tenhou_to_mjai() missing 1 required positional argument: 'data'"),
            (lambda: _kiroku.tenhou_to_mjai("a", "b"),
             "tenhou_to_mjai() takes 1 positional arguments but 2 were given"),
            (lambda: _kiroku.tenhou_to_mjai("a", "b", "c"),
             "tenhou_to_mjai() takes 1 positional arguments but 3 were given"),
            (lambda: _kiroku.tenhou_to_mjai(text="{}"),
             "tenhou_to_mjai() got an unexpected keyword argument 'text'"),
            (lambda: _kiroku.tenhou_to_mjai("{}", data="{}"),
             "tenhou_to_mjai() got multiple values for argument 'data'"),
            (lambda: _kiroku.tenhou_file_to_mjai(),
             "tenhou_file_to_mjai() missing 1 required positional argument: 'filename'"),
            (lambda: _kiroku.tenhou_file_to_mjai(mjai_out="out"),
             "tenhou_file_to_mjai() missing 1 required positional argument: 'filename'"),
            (lambda: _kiroku.tenhou_file_to_mjai("a", "b", "c"),
             "tenhou_file_to_mjai() takes from 1 to 2 positional arguments but 3 were given"),
            (lambda: _kiroku.tenhou_file_to_mjai("a", None, None, None),
             "tenhou_file_to_mjai() takes from 1 to 2 positional arguments but 4 were given"),
            (lambda: _kiroku.tenhou_file_to_mjai("a", out="b"),
             "tenhou_file_to_mjai() got an unexpected keyword argument 'out'"),
            (lambda: _kiroku.tenhou_file_to_mjai("a", "b", mjai_out="c"),
             "tenhou_file_to_mjai() got multiple values for argument 'mjai_out'"),
            (lambda: _kiroku.tenhou_file_to_mjai("a", filename="b"),
             "tenhou_file_to_mjai() got multiple values for argument 'filename'"),
        ],
    )
    def test_binding_messages(self, call, message):
        assert type_error_message(call) == message

    def test_unexpected_keyword_is_reported_before_a_missing_argument(self):
        assert type_error_message(lambda: _kiroku.tenhou_to_mjai(dat="x")) == (
            "tenhou_to_mjai() got an unexpected keyword argument 'dat'"
        )

    def test_too_many_positional_is_reported_before_keywords(self):
        assert type_error_message(lambda: _kiroku.tenhou_to_mjai("a", "b", bogus=1)) == (
            "tenhou_to_mjai() takes 1 positional arguments but 2 were given"
        )

    def test_keyword_with_surrogate_names_no_parameter(self):
        message = type_error_message(lambda: _kiroku.tenhou_to_mjai(**{"d\udc80": "x"}))
        assert message == "tenhou_to_mjai() got an unexpected keyword argument 'd\udc80'"

    def test_arguments_by_keyword(self, tmp_path):
        assert _kiroku.tenhou_to_mjai(data=EMPTY_GAME) == _kiroku.tenhou_to_mjai(EMPTY_GAME)
        path = tmp_path / "log.json"
        path.write_text(EMPTY_GAME, encoding="utf-8")
        out = tmp_path / "out.jsonl"
        assert _kiroku.tenhou_file_to_mjai(mjai_out=str(out), filename=str(path)) == _kiroku.tenhou_to_mjai(EMPTY_GAME)
        assert out.exists()


class StrSubclass(str):
    pass


class Outer:
    class Inner:
        pass


class PathLike:
    def __init__(self, value):
        self.value = value

    def __fspath__(self):
        if isinstance(self.value, BaseException):
            raise self.value
        return self.value


class TestDataConversion:
    @pytest.mark.parametrize(
        "value, type_name",
        [(1, "int"), (None, "NoneType"), (b"{}", "bytes"), (bytearray(b"{}"), "bytearray"),
         (["{}"], "list"), (pathlib.PurePosixPath("x"), "PurePosixPath"), (Outer.Inner(), "Outer.Inner")],
    )
    def test_non_str_is_refused_with_the_qualified_type_name(self, value, type_name):
        message = type_error_message(lambda: _kiroku.tenhou_to_mjai(value))
        assert message == f"argument 'data': '{type_name}' object cannot be converted to 'PyString'"

    def test_type_error_has_no_cause_or_context(self):
        try:
            raise KeyError("handled")
        except KeyError:
            with pytest.raises(TypeError) as info:
                _kiroku.tenhou_to_mjai(1)
        assert info.value.__cause__ is None
        assert info.value.__context__ is None

    def test_str_subclass_is_accepted(self):
        assert _kiroku.tenhou_to_mjai(StrSubclass(EMPTY_GAME)) == _kiroku.tenhou_to_mjai(EMPTY_GAME)

    def test_unpaired_surrogate_raises_the_encoding_error_unchanged(self):
        with pytest.raises(UnicodeEncodeError) as info:
            _kiroku.tenhou_to_mjai('{"log": [], "name": ["\ud800"]}')
        assert info.value.__cause__ is None
        assert "surrogates not allowed" in str(info.value)

    def test_non_ascii_text_is_passed_as_utf8(self):
        # The names come back through the UTF-8 copy unchanged.
        names = ["東", "ñ", "𝄞", "a\u0301"]
        text = f'{{"log":[],"name":["{names[0]}","{names[1]}","{names[2]}","{names[3]}"],"rule":{{}}}}'
        assert json.loads(_kiroku.tenhou_to_mjai(text)[0])["names"] == names


class TestPathConversion:
    def test_int_filename_names_the_parameter_and_keeps_the_host_text(self):
        with pytest.raises(TypeError) as expected:
            os.fspath(1)
        message = type_error_message(lambda: _kiroku.tenhou_file_to_mjai(1))
        assert message == "argument 'filename': " + str(expected.value)

    def test_int_mjai_out_names_the_parameter(self):
        message = type_error_message(lambda: _kiroku.tenhou_file_to_mjai("log.json", 1.5))
        assert message.startswith("argument 'mjai_out': ")
        assert "float" in message

    @pytest.mark.parametrize("value", [b"log.json", PathLike(b"log.json")])
    def test_bytes_paths_are_refused(self, value):
        assert type_error_message(lambda: _kiroku.tenhou_file_to_mjai(value)) == (
            "argument 'filename': 'bytes' object cannot be converted to 'PyString'"
        )
        assert type_error_message(lambda: _kiroku.tenhou_file_to_mjai("missing.json", value)) == (
            "argument 'mjai_out': 'bytes' object cannot be converted to 'PyString'"
        )

    def test_both_paths_are_converted_before_any_file_is_opened(self):
        # The input does not exist, but the bad output argument is reported.
        assert type_error_message(lambda: _kiroku.tenhou_file_to_mjai("/no/such/file", b"out")).startswith(
            "argument 'mjai_out': "
        )

    def test_fspath_type_error_is_replaced_and_keeps_its_cause(self):
        cause = LookupError("why")
        error = TypeError("bad path object")
        error.__cause__ = cause
        with pytest.raises(TypeError) as info:
            _kiroku.tenhou_file_to_mjai(PathLike(error))
        assert info.value is not error
        assert str(info.value) == "argument 'filename': bad path object"
        assert info.value.__cause__ is cause

    def test_fspath_type_error_without_cause_gives_none(self):
        with pytest.raises(TypeError) as info:
            _kiroku.tenhou_file_to_mjai(PathLike(TypeError("plain")))
        assert str(info.value) == "argument 'filename': plain"
        assert info.value.__cause__ is None

    def test_other_fspath_errors_pass_unchanged(self):
        error = ValueError("not today")
        with pytest.raises(ValueError) as info:
            _kiroku.tenhou_file_to_mjai(PathLike(error))
        assert info.value is error
        with pytest.raises(KeyError):
            _kiroku.tenhou_file_to_mjai("x", PathLike(KeyError("k")))

    def test_unpaired_surrogate_outside_the_escape_range_is_an_encoding_error(self):
        with pytest.raises(UnicodeEncodeError):
            _kiroku.tenhou_file_to_mjai("\ud800.json")

    def test_path_like_objects_are_accepted(self, tmp_path):
        path = tmp_path / "log.json"
        path.write_text("{", encoding="utf-8")
        for value in (path, str(path), StrSubclass(str(path)), PathLike(str(path))):
            with pytest.raises(_kiroku.JsonParsingError, match=f"^{PARSE_MESSAGE}$"):
                _kiroku.tenhou_file_to_mjai(value)
