"""Log databases as the tool's inputs: every row converted into OUTDIR/ID,
the rows without a four-player log skipped and counted, every other row
converted or failed alone, nothing written outside OUTDIR, and a run that
was stopped resumed to the same tree."""

import bz2
import gzip
import json
import os
import signal
import sqlite3
import subprocess
import zlib
from pathlib import Path

import pytest

import archive_databases
from conftest import _env_path, all_files, write_log
from test_signals import Stalled, signal_pending, wait_for

CORPUS_GAMES = Path(os.environ.get("KIROKU_CORPUS_DIR", "")).parent / "tenhou-xml" / "games"


def _log_id(month, number):
    return f"2023{month:02}0100gm-00a9-0000-{number:08x}"


@pytest.fixture(scope="module")
def xml_games(tmp_path_factory):
    """(id, XML text) of twelve generated games, dated on both sides of the
    downloader's change from bz2 to gzip, with the XML path's events for
    each from a file of its own."""
    generator = _env_path("KIROKU_GEN_LOGS")
    if generator is None or not generator.exists():
        pytest.skip("the gen_logs tool is not built")
    out = tmp_path_factory.mktemp("generated_xml")
    subprocess.run([str(generator), str(out), "12", "7", "--xml"], check=True, capture_output=True, timeout=600)
    texts = [path.read_text() for path in sorted(out.glob("*.mjlog"))]
    return [(_log_id(3 + i % 6, i), text) for i, text in enumerate(texts)]


def _expected(tool, tmp_path, games):
    """Each game's events, from its text alone."""
    expected = {}
    for log_id, text in games:
        path = tmp_path / "single" / f"{log_id}.mjlog"
        path.parent.mkdir(exist_ok=True)
        path.write_text(text)
        expected[log_id] = tool.run(path, check_status=0).stdout
    return expected


def _manifest(path):
    return {entry["source"].rpartition(":")[2]: entry for entry in map(json.loads, path.read_text().splitlines())}


def _skip_note(reasons):
    counts = {}
    for reason in reasons.values():
        counts[reason] = counts.get(reason, 0) + 1
    order = [archive_databases.NOT_DOWNLOADED, archive_databases.ERROR_ROW, archive_databases.THREE_PLAYER]
    listed = ", ".join(f"{reason}: {counts[reason]}" for reason in order if reason in counts)
    return f"kiroku: note: {len(reasons)} logs skipped ({listed})"


@pytest.mark.parametrize("layout", archive_databases.WRITERS)
def test_each_layout_converts_every_row(tool, tmp_path, xml_games, layout):
    if layout == "records" and archive_databases.LZ4 is None:
        pytest.skip("no lz4 command")
    database = tmp_path / "logs.db"
    reasons = archive_databases.WRITERS[layout](database, xml_games)
    out = tmp_path / "out"
    result = tool.run("--manifest", tmp_path / "manifest.jsonl", "-o", out, database, check_status=0)

    expected = _expected(tool, tmp_path, xml_games)
    assert all_files(out) == sorted(f"{log_id}.mjson" for log_id in expected)
    assert all((out / f"{log_id}.mjson").read_bytes() == events for log_id, events in expected.items())
    assert result.stderr.decode().splitlines() == [_skip_note(reasons)]

    manifest = _manifest(tmp_path / "manifest.jsonl")
    assert set(manifest) == set(expected) | set(reasons)
    for log_id, entry in manifest.items():
        assert entry["source"] == f"{database}:{log_id}"
        if log_id in reasons:
            assert (entry["status"], entry["reason"], entry["output"]) == ("skipped", reasons[log_id], None)
        else:
            assert (entry["status"], entry["reason"], entry["output"]) == ("converted", None, str(out / f"{log_id}.mjson"))
            assert entry["events"] == len(expected[log_id].splitlines())


def test_real_games_from_a_database(tool, tmp_path):
    if not CORPUS_GAMES.is_dir():
        pytest.skip(f"the shared corpus is absent ({CORPUS_GAMES})")
    logs = []
    for number, path in enumerate(sorted(CORPUS_GAMES.glob("*.mjlog"))):
        data = path.read_bytes()
        log_id = path.stem if path.stem[0].isdigit() else _log_id(1, number)
        logs.append((log_id, (gzip.decompress(data) if data.startswith(b"\x1f\x8b") else data).decode()))
    database = tmp_path / "real.db"
    archive_databases.write_typed_logs(database, logs, special=False)
    result = tool.run("-o", tmp_path / "out", database)
    reported = result.stderr.decode().splitlines()
    for log_id, text in logs:
        single = tool.run(write_log(tmp_path / "single.mjlog", text))
        output = tmp_path / "out" / f"{log_id}.mjson"
        if single.returncode == 0:
            assert output.read_bytes() == single.stdout, log_id
        else:  # the same refusal, named by the row
            assert not output.exists()
            diagnostic = single.stderr.decode().splitlines()[0].partition(": ")[2]
            assert f"{database}:{log_id}: {diagnostic}" in reported


def _raw_database(path, rows):
    """A table of the merged layout holding the given cells as they are."""
    with sqlite3.connect(path) as db:
        db.execute("CREATE TABLE logs(log_id text primary key, year text, log_content text, log_hash text)")
        db.executemany("INSERT INTO logs VALUES(?, '2023', ?, NULL)", rows)
    db.close()


def test_failed_rows_fail_alone_and_write_nothing(tool, tmp_path, xml_games):
    good_id, text = xml_games[0]
    packed = gzip.compress(text.encode(), mtime=0)
    hostile = ["../x", "a/b", ".hidden", "a\x01b", "", "x" * 201, "/etc/passwd", b"a\xffb"]
    failing = {
        "2023050100gm-00a9-0000-0000000a": packed[: len(packed) // 2],  # cut short
        "2023050100gm-00a9-0000-0000000b": packed[:20] + bytes(b ^ 0x55 for b in packed[20:60]) + packed[60:],
        "2023050100gm-00a9-0000-0000000c": bz2.compress(b"<mjloggm ver=\"2.3\"><GO type=\"169\"/>"),
        "2023050100gm-00a9-0000-0000000d": b"plain bytes, no log",
        "2023050100gm-00a9-0000-0000000e": zlib.compress(text.encode()),  # zlib is no archive's form
    }
    database = tmp_path / "work" / "bad.db"
    database.parent.mkdir()
    _raw_database(database, [(good_id, packed)] + list(failing.items()) + [(name, packed) for name in hostile])
    out = tmp_path / "work" / "out"
    result = tool.run("--manifest", tmp_path / "work" / "out.jsonl", "-o", out, database, check_status=1)

    assert all_files(out) == [f"{good_id}.mjson"]
    manifest = [json.loads(line) for line in (tmp_path / "work" / "out.jsonl").read_text().splitlines()]
    assert [entry["status"] for entry in manifest].count("failed") == len(failing) + len(hostile)
    sources = {entry["source"].encode("utf-8", "surrogateescape") for entry in manifest}
    assert f"{database}:".encode() + b"a\xffb" in sources
    assert sorted(os.listdir(tmp_path)) == ["work"] and sorted(os.listdir(tmp_path / "work")) == ["bad.db", "out", "out.jsonl"]
    lines = result.stderr.decode().splitlines()
    assert len(lines) == len(failing) + len(hostile), lines
    for log_id in failing:
        assert any(line.startswith(f"{database}:{log_id}: ") for line in lines), log_id
    assert sum(": output: " in line for line in lines) == len(hostile)
    assert all(line.isprintable() for line in lines)


def test_outputs_by_month_with_a_suffix_in_one_gzip_member(tool, tmp_path, xml_games):
    database = tmp_path / "logs.db"
    archive_databases.write_current_logs(database, xml_games, special=False)
    out = tmp_path / "out"
    tool.run("--gzip", "--suffix", ".json.gz", "--by-month", "-o", out, database, check_status=0)
    expected = _expected(tool, tmp_path, xml_games)
    assert all_files(out) == sorted(f"{i[:4]}/{i[4:6]}/{i}.json.gz" for i in expected)
    for log_id, events in expected.items():
        data = (out / log_id[:4] / log_id[4:6] / f"{log_id}.json.gz").read_bytes()
        member = zlib.decompressobj(wbits=31)
        assert member.decompress(data) == events and member.eof and member.unused_data == b""


def test_a_query_picks_the_rows(tool, tmp_path, xml_games):
    database = tmp_path / "logs.db"
    archive_databases.write_current_logs(database, xml_games)
    query = "SELECT log_id, log_content FROM logs WHERE date >= '2023-06' AND is_processed = 1 AND is_sanma = 0"
    tool.run("--sql", query, "-o", tmp_path / "out", database, check_status=0)
    picked = sorted(f"{i}.mjson" for i, _ in xml_games if i[4:6] >= "06")
    assert all_files(tmp_path / "out") == picked

    refused = tool.run("--sql", "DELETE FROM logs", "-o", tmp_path / "none", database, check_status=1)
    assert refused.stderr.decode().startswith(f"{database}: ")
    assert len(sqlite3.connect(database).execute("SELECT * FROM logs").fetchall()) == len(xml_games) + 4


def test_files_that_are_no_database(tool, tmp_path, xml_games):
    good = tmp_path / "logs.db"
    archive_databases.write_typed_logs(good, xml_games[:2], special=False)
    truncated = tmp_path / "truncated.db"
    truncated.write_bytes(good.read_bytes()[:1500])
    named_so = tmp_path / "dir" / "notes.db"
    named_so.parent.mkdir()
    named_so.write_text("not a database")
    result = tool.run("-o", tmp_path / "out", good, truncated, named_so.parent, check_status=1)
    lines = result.stderr.decode().splitlines()
    assert any(line.startswith(f"{truncated}: ") for line in lines), lines
    assert any(line.startswith(f"{named_so}: ") for line in lines), lines
    assert all_files(tmp_path / "out") == sorted(f"{i}.mjson" for i, _ in xml_games[:2])

    # A database can be no output, nor hold the outputs.
    assert tool.run("-o", good, good).returncode == 2
    assert tool.run("-o", tmp_path / "m", "--manifest", good, good).returncode == 2


def test_a_database_held_by_a_writer_is_waited_on_then_reported(tool, tmp_path, xml_games):
    database = tmp_path / "logs.db"
    archive_databases.write_current_logs(database, xml_games[:2], special=False)
    writer = sqlite3.connect(database, isolation_level=None)
    writer.execute("BEGIN EXCLUSIVE")
    try:
        result = tool.run("-o", tmp_path / "out", database, check_status=1)
    finally:
        writer.execute("ROLLBACK")
        writer.close()
    assert "locked" in result.stderr.decode()
    assert not (tmp_path / "out").exists() or all_files(tmp_path / "out") == []
    tool.run("-o", tmp_path / "out", database, check_status=0)
    assert len(sqlite3.connect(database).execute("SELECT * FROM logs").fetchall()) == 2


def test_a_stopped_run_resumes_to_the_same_tree(tool, stall_shim, tmp_path, xml_games):
    database = tmp_path / "logs.db"
    archive_databases.write_current_logs(database, xml_games)
    whole = tmp_path / "whole"
    tool.run("-o", whole, database, check_status=0)

    out = tmp_path / "out"
    out.mkdir()
    manifest = tmp_path / "manifest.jsonl"
    stalled = Stalled(tool, stall_shim, tmp_path, ["-j", "1", "--manifest", manifest, "-o", out, database], out,
                      unnamed=False, release=True)
    stalled.process.send_signal(signal.SIGTERM)
    wait_for(lambda: not signal_pending(stalled.process.pid, signal.SIGTERM), stalled.process)
    stalled.release()
    status, _ = stalled.finish()
    assert status == -signal.SIGTERM
    assert not manifest.exists()  # a stopped run's manifest would be short
    done = all_files(out)
    assert 0 < len(done) < len(xml_games)

    resumed = tool.run("--summary", "--skip-existing", "--manifest", manifest, "-o", out, database, check_status=0)
    assert all_files(out) == all_files(whole)
    assert all((out / name).read_bytes() == (whole / name).read_bytes() for name in all_files(whole))
    assert f"output exists: {len(done)}" in resumed.stderr.decode().splitlines()[-1]
    statuses = [entry["status"] for entry in _manifest(manifest).values()]
    assert statuses.count("converted") == len(xml_games) - len(done)
