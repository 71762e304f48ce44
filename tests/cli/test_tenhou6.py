"""--to tenhou6 and --viewer-links: Tenhou's JSON log written from either
format, byte for byte Tenhou's own conversion of its XML logs, with the
tool's guarantees for outputs, and one viewer link a hand."""

import gzip
import json
import os
import urllib.parse
from pathlib import Path

import pytest

import archive_databases
from conftest import all_files, broken_logs, write_log

PAIRS = Path(os.environ.get("KIROKU_CORPUS_DIR", "")).parent / "tenhou-xml" / "official-pairs"
LINK_PREFIX = "https://tenhou.net/6/#json="


@pytest.fixture(scope="module")
def pairs():
    if not PAIRS.is_dir():
        pytest.skip(f"the shared corpus is absent ({PAIRS})")
    return sorted(PAIRS.glob("*.xml"))


def test_official_conversions_come_out_byte_for_byte(tool, pairs, tmp_path):
    for xml in pairs:
        official = xml.with_suffix(".json").read_bytes()
        assert tool.run("--to", "tenhou6", xml, check_status=0).stdout == official, xml.name
        packed = write_log(tmp_path / f"{xml.stem}.mjlog.gz", xml.read_bytes(), compress=True)
        assert tool.run("--to=tenhou6", packed, check_status=0).stdout == official, xml.name
        # Tenhou's own JSON comes back as it is, its id kept whatever its name.
        assert tool.run("--to", "tenhou6", write_log(tmp_path / "game.json", official), check_status=0).stdout == official

    # A batch names each output x.json, and the log is named by its file.
    out = tmp_path / "out"
    tool.run("--to", "tenhou6", "--gzip", "-o", out, *pairs, check_status=0)
    assert all_files(out) == sorted(f"{xml.stem}.json.gz" for xml in pairs)
    for xml in pairs:
        assert gzip.decompress((out / f"{xml.stem}.json.gz").read_bytes()) == xml.with_suffix(".json").read_bytes()


def test_a_log_without_an_id_in_its_name_has_an_empty_ref(tool, pairs, tmp_path):
    renamed = write_log(tmp_path / "game.xml", pairs[0].read_bytes())
    for source, options in ((renamed, {}), ("-", {"input": pairs[0].read_bytes()})):
        written = json.loads(tool.run("--to", "tenhou6", source, check_status=0, **options).stdout)
        assert written["ref"] == ""


def test_the_json_log_written_converts_to_the_same_events(tool, realistic_game, tmp_path):
    written = tool.run("--to", "tenhou6", realistic_game, check_status=0).stdout
    again = write_log(tmp_path / "again.json", written)
    assert tool.run(again, check_status=0).stdout == tool.run(realistic_game, check_status=0).stdout
    assert tool.run("--to", "tenhou6", again, check_status=0).stdout == written


def test_an_output_sharing_its_input_s_name_is_refused(tool, realistic_game, tmp_path):
    logs = tmp_path / "logs"
    source = write_log(logs / "game.json", realistic_game.read_bytes())
    result = tool.run("--to", "tenhou6", "-o", logs, logs, check_status=2)
    assert str(source) in result.stderr.decode()
    assert source.read_bytes() == realistic_game.read_bytes()
    tool.run("--to", "tenhou6", "-o", source, source, check_status=2)
    assert source.read_bytes() == realistic_game.read_bytes()


def test_a_refused_log_writes_nothing(tool, tmp_path):
    for name, text, stage in broken_logs():
        out = tmp_path / f"{name}.json"
        result = tool.run("--to", "tenhou6", "-o", out, write_log(tmp_path / "in" / f"{name}.json", text),
                          check_status=1)
        assert result.stderr.decode().split(": ")[1] == stage
        assert not out.exists()


def test_database_rows_are_named_by_their_ids(tool, pairs, tmp_path):
    logs = [(xml.stem, xml.read_text()) for xml in pairs]
    database = tmp_path / "logs.db"
    archive_databases.write_typed_logs(database, logs)
    tool.run("--to", "tenhou6", "-o", tmp_path / "out", database, check_status=0)
    assert all_files(tmp_path / "out") == sorted(f"{log_id}.json" for log_id, _ in logs)
    for xml in pairs:
        assert (tmp_path / "out" / f"{xml.stem}.json").read_bytes() == xml.with_suffix(".json").read_bytes()


def test_viewer_links_open_one_hand_each(tool, pairs, tmp_path):
    official = json.loads(pairs[0].with_suffix(".json").read_text())
    lines = tool.run("--viewer-links", pairs[0], check_status=0).stdout.decode().splitlines()
    assert len(lines) == len(official["log"])
    for number, line in enumerate(lines):
        assert line.startswith(LINK_PREFIX)
        document = json.loads(urllib.parse.unquote(line[len(LINK_PREFIX):]))
        assert document["log"] == [official["log"][number]]
        assert document["name"] == official["name"] and document["ref"] == official["ref"]

    assert tool.run("--viewer-links", "-o", tmp_path / "out", pairs[0], pairs[1]).returncode == 2
    assert tool.run("--viewer-links", "--to", "mjai", pairs[0]).returncode == 2
    assert tool.run("--to", "json", pairs[0]).returncode == 2
