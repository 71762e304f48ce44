"""Tenhou's XML logs through both entry functions: the same events as the
JSON log of the same game, the same exceptions for the same failures."""

import pytest

import _kiroku
from conftest import CONVERT_MESSAGE, CORPUS_DIR, INVALID_MESSAGE, PARSE_MESSAGE

XML_CORPUS_DIR = CORPUS_DIR.parent / "tenhou-xml"

NAMES_ELEMENT = '<UN n0="%E3%81%95%E3%81%8F%E3%82%89" n1="B" n2="C" n3="D"/>'
INIT = (
    '<INIT seed="0,0,0,1,1,135" ten="250,250,250,250" oya="0" '
    'hai0="0,1,2,3,4,5,6,7,8,9,10,11,12" hai1="13,14,15,16,17,18,19,20,21,22,23,24,25" '
    'hai2="26,27,28,29,30,31,32,33,34,35,36,37,38" hai3="39,40,41,42,43,44,45,46,47,48,49,50,51"/>'
)


def mjlog(body, game_type=169, declaration=""):
    return f'{declaration}<mjloggm ver="2.3"><GO type="{game_type}"/>{NAMES_ELEMENT}{body}</mjloggm>'


SELF_DRAWN_WIN = mjlog(INIT + '<T100/><AGARI who="0" fromWho="0" sc="250,120,250,-40,250,-40,250,-40"/>')


def official_pairs():
    folder = XML_CORPUS_DIR / "official-pairs"
    if not folder.is_dir():
        pytest.skip(f"skipped 6 official pairs: {folder} is absent")
    return sorted(folder.glob("*.xml"))


def test_a_short_game():
    events = _kiroku.tenhou_to_mjai(" \n" + SELF_DRAWN_WIN)
    assert events[0] == '{"type":"start_game","names":["さくら","B","C","D"],"kyoku_first":0,"aka_flag":true}'
    assert events[2:] == [
        '{"type":"tsumo","actor":0,"pai":"8s"}',
        '{"type":"hora","actor":0,"target":0,"deltas":[12000,-4000,-4000,-4000],"ura_markers":[]}',
        '{"type":"end_kyoku"}',
        '{"type":"end_game"}',
    ]


def test_an_xml_declaration_may_come_first(tmp_path):
    text = '<?xml version="1.0" encoding="UTF-8"?>\n' + SELF_DRAWN_WIN
    path = tmp_path / "game.mjlog"
    path.write_text(text, encoding="utf-8")
    assert _kiroku.tenhou_file_to_mjai(path) == _kiroku.tenhou_to_mjai(SELF_DRAWN_WIN)


def test_official_pairs_give_the_same_events_as_their_json(tmp_path):
    for xml in official_pairs():
        out = tmp_path / "out.mjson"
        events = _kiroku.tenhou_file_to_mjai(xml, out)
        assert events == _kiroku.tenhou_file_to_mjai(xml.with_suffix(".json")), xml.name
        assert out.read_text(encoding="utf-8") == "".join(e + "\n" for e in events)


@pytest.mark.parametrize(
    "text, exception, message",
    [
        ("<mjloggm ver='2.3'><GO type='169'/>", _kiroku.JsonParsingError, PARSE_MESSAGE),
        (mjlog(INIT + "<T136/>"), _kiroku.JsonParsingError, PARSE_MESSAGE),
        (mjlog("", game_type=185), _kiroku.TenhouLogParsingError, INVALID_MESSAGE),
        (mjlog(INIT + "<T100/><D100/>"), _kiroku.TenhouToMjaiError, CONVERT_MESSAGE),
        (mjlog(INIT + "<T5/>"), _kiroku.TenhouToMjaiError, CONVERT_MESSAGE),
    ],
    ids=["not-well-formed", "tile-id-136", "three-player", "no-result", "tile-dealt-and-drawn"],
)
def test_each_failure_raises_its_class(tmp_path, text, exception, message):
    with pytest.raises(exception) as raised:
        _kiroku.tenhou_to_mjai(text)
    assert str(raised.value) == message
    out = tmp_path / "out.mjson"
    path = tmp_path / "bad.mjlog"
    path.write_text(text, encoding="utf-8")
    with pytest.raises(exception):
        _kiroku.tenhou_file_to_mjai(path, out)
    assert not out.exists()
