"""The database writers the tests of reading databases use: each stores
the logs it is given, compressed as its layout does, beside its special
rows."""

import bz2
import gzip
import sqlite3
import subprocess

import pytest

import archive_databases

LOGS = [
    ("2023010100gm-00a9-0000-0000aaaa", '<mjloggm ver="2.3"><GO type="169"/></mjloggm>'),
    ("2023080100gm-00e1-0000-0000bbbb", '<mjloggm ver="2.3"><GO type="225"/></mjloggm>'),
]


def _decompressed(data):
    if data.startswith(b"BZh"):
        return bz2.decompress(data).decode()
    if data.startswith(b"\x1f\x8b"):
        return gzip.decompress(data).decode()
    return subprocess.run(["lz4", "-d", "-c"], input=data, stdout=subprocess.PIPE, check=True).stdout.decode()


@pytest.mark.parametrize("layout", archive_databases.WRITERS)
def test_each_layout_stores_its_logs_and_special_rows(tmp_path, layout):
    if layout == "records" and archive_databases.LZ4 is None:
        pytest.skip("no lz4 command")
    path = tmp_path / "logs.db"
    reasons = archive_databases.WRITERS[layout](path, LOGS)
    table = "records" if layout == "records" else "logs"
    with sqlite3.connect(path) as db:
        columns = [row[1] for row in db.execute(f"PRAGMA table_info({table})")]
        id_column = columns[0]
        log_column = next(name for name in columns if name in ("log_content", "log", "content"))
        stored = dict(db.execute(f"SELECT {id_column}, {log_column} FROM {table}"))
    db.close()
    assert set(stored) == {log_id for log_id, _ in LOGS} | set(reasons)
    assert {log_id: _decompressed(stored[log_id]) for log_id, _ in LOGS} == dict(LOGS)
    assert not stored[archive_databases.NOT_DOWNLOADED_ID]
