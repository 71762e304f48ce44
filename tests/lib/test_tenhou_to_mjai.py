"""tenhou_to_mjai: the event texts of a log, and the exception of each stage."""

import json

import pytest

import _kiroku
from conftest import (
    CONVERT_MESSAGE,
    EMPTY_GAME,
    INVALID_MESSAGE,
    NAMES,
    ONE_HAND_GAME,
    ONE_HAND_TYPES,
    PARSE_MESSAGE,
    STAGE_FAILURES,
    game_text,
    nine_terminals_hand,
)


def check_event_list(events):
    assert type(events) is list
    assert events, "a game has at least start_game and end_game"
    for text in events:
        assert type(text) is str
        assert "\n" not in text
        event = json.loads(text)
        assert isinstance(event, dict) and isinstance(event["type"], str)
        # Compact: the encoder writes no whitespace between tokens.
        assert text == json.dumps(event, ensure_ascii=False, separators=(",", ":"))
    assert json.loads(events[0])["type"] == "start_game"
    assert json.loads(events[-1])["type"] == "end_game"


class TestSuccess:
    def test_game_without_hands(self):
        events = _kiroku.tenhou_to_mjai(EMPTY_GAME)
        # A byte order mark, as editors on Windows write one, is skipped.
        assert _kiroku.tenhou_to_mjai("\ufeff" + EMPTY_GAME) == events
        check_event_list(events)
        assert [json.loads(t)["type"] for t in events] == ["start_game", "end_game"]
        assert json.loads(events[0])["names"] == NAMES

    def test_one_hand_ending_in_an_abortive_draw(self):
        events = _kiroku.tenhou_to_mjai(ONE_HAND_GAME)
        check_event_list(events)
        assert [json.loads(t)["type"] for t in events] == ONE_HAND_TYPES
        assert json.loads(events[2]) == {"type": "tsumo", "actor": 0, "pai": "9s"}

    def test_hands_follow_each_other(self):
        events = _kiroku.tenhou_to_mjai(game_text([nine_terminals_hand(), nine_terminals_hand()]))
        assert [json.loads(t)["type"] for t in events] == (
            ONE_HAND_TYPES[:-1] + ONE_HAND_TYPES[1:]
        )

    def test_every_call_returns_a_new_list_of_new_strings(self):
        first = _kiroku.tenhou_to_mjai(ONE_HAND_GAME)
        second = _kiroku.tenhou_to_mjai(ONE_HAND_GAME)
        assert first == second
        assert first is not second
        first.append("mine")
        assert _kiroku.tenhou_to_mjai(ONE_HAND_GAME) == second

    def test_whitespace_around_the_document_is_accepted(self):
        assert _kiroku.tenhou_to_mjai(" \n\t" + EMPTY_GAME + "\r\n ") == _kiroku.tenhou_to_mjai(EMPTY_GAME)

    def test_realistic_game(self, realistic_game):
        text = realistic_game.read_text(encoding="utf-8")
        events = _kiroku.tenhou_to_mjai(text)
        check_event_list(events)
        types = [json.loads(t)["type"] for t in events]
        assert types.count("start_kyoku") == len(json.loads(text)["log"])
        assert types.count("start_kyoku") == types.count("end_kyoku")
        assert _kiroku.tenhou_to_mjai(text) == events
        expected = realistic_game.with_suffix(".mjson")
        if expected.exists():
            assert events == expected.read_text(encoding="utf-8").splitlines()

    def test_real_games(self, corpus_files):
        for path in corpus_files:
            text = path.read_text(encoding="utf-8")
            events = _kiroku.tenhou_to_mjai(text)
            check_event_list(events)
            start_game = json.loads(events[0])
            assert start_game["names"] == json.loads(text)["name"], path.name


class TestStageFailures:
    @pytest.mark.parametrize("stage", sorted(STAGE_FAILURES))
    def test_each_stage_raises_its_class_with_the_fixed_message(self, stage):
        text, error_class, message = STAGE_FAILURES[stage]
        with pytest.raises(error_class) as info:
            _kiroku.tenhou_to_mjai(text)
        assert type(info.value) is error_class
        assert info.value.args == (message,)
        assert str(info.value) == message
        assert info.value.__cause__ is None
        assert info.value.__context__ is None
        assert info.value.__suppress_context__ is False

    @pytest.mark.parametrize("stage", sorted(STAGE_FAILURES))
    def test_raised_inside_an_except_block_gets_no_context(self, stage):
        text, error_class, _ = STAGE_FAILURES[stage]
        try:
            raise RuntimeError("being handled")
        except RuntimeError:
            try:
                _kiroku.tenhou_to_mjai(text)
            except error_class as error:
                caught = error
        assert caught.__context__ is None

    @pytest.mark.parametrize("stage", sorted(STAGE_FAILURES))
    def test_caught_as_value_error(self, stage):
        with pytest.raises(ValueError):
            _kiroku.tenhou_to_mjai(STAGE_FAILURES[stage][0])

    @pytest.mark.parametrize(
        "text",
        [
            "",
            "{",
            "   ",
            "null",
            "[]",
            "{}",
            '{"log": []}',
            EMPTY_GAME + "x",
            EMPTY_GAME + EMPTY_GAME,
            "\ufeff\ufeff" + EMPTY_GAME,
            "[" * 100_000,
        ],
        ids=["empty", "brace", "blank", "null", "array", "object", "no_names", "trailing", "two_documents",
             "two_byte_order_marks", "deep_nesting"],
    )
    def test_texts_that_are_not_a_log_document(self, text):
        with pytest.raises(_kiroku.JsonParsingError) as info:
            _kiroku.tenhou_to_mjai(text)
        # Nothing of the reader's diagnosis (line, column, field) leaks out.
        assert str(info.value) == PARSE_MESSAGE

    @pytest.mark.parametrize("disp", ["三般南喰赤", "3-Player South"])
    def test_three_player_games_are_invalid(self, disp):
        with pytest.raises(_kiroku.TenhouLogParsingError, match=f"^{INVALID_MESSAGE}$"):
            _kiroku.tenhou_to_mjai(game_text([], disp=disp))

    def test_a_broken_hand_fails_the_whole_game(self):
        # The first hand converts; the second has no dora indicator.
        text = game_text([nine_terminals_hand(), nine_terminals_hand(dora=())])
        with pytest.raises(_kiroku.TenhouToMjaiError, match=f"^{CONVERT_MESSAGE}$"):
            _kiroku.tenhou_to_mjai(text)

    def test_module_stays_usable_after_failures(self):
        for text, error_class, _ in STAGE_FAILURES.values():
            with pytest.raises(error_class):
                _kiroku.tenhou_to_mjai(text)
        assert [json.loads(t)["type"] for t in _kiroku.tenhou_to_mjai(ONE_HAND_GAME)] == ONE_HAND_TYPES
