"""Log databases laid out as the downloaders write them, for the tests of
reading them.

Each writer takes the path of a new database and a list of (log id, XML
text) pairs, compresses each text as that layout stores it, and adds the
rows the reading passes over (unless special=False), as far as the layout
can hold them: a log not downloaded yet, a failed download, a three-player
game marked by a column and one marked only by its id's type bits.  It
returns those rows' ids, each with the reason the reading gives
(NOT_DOWNLOADED, ERROR_ROW, THREE_PLAYER).

LZ4 frames come from the `lz4` command (Debian's lz4 package); LZ4 is None
when it is missing, and write_records then raises RuntimeError.
"""

import bz2
import gzip
import shutil
import sqlite3
import subprocess

NOT_DOWNLOADED = "not downloaded"
ERROR_ROW = "marked as an error by the downloader"
THREE_PLAYER = "three-player game"

LZ4 = shutil.which("lz4")

# Ids of the rows passed over.  The one marked by a column has a
# four-player type, so only the column tells.
NOT_DOWNLOADED_ID = "2023070100gm-00a9-0000-5e000001"
ERROR_ID = "2023070100gm-00a9-0000-5e000002"
THREE_BY_COLUMN_ID = "2023070100gm-00a9-0000-5e000003"
THREE_BY_ID_ID = "2023070100gm-00b9-0000-5e000004"
SPECIAL_XML = '<mjloggm ver="2.3"></mjloggm>'

_THREE_PLAYER_BIT = 0x10
_HALF_GAME_BIT = 0x08


def _game_type(log_id):
    return int(log_id.split("-")[1], 16)


def _three_player(log_id):
    return int(_game_type(log_id) & _THREE_PLAYER_BIT != 0)


def _east_only(log_id):
    return int(_game_type(log_id) & _HALF_GAME_BIT == 0)


def _date(log_id, separator):
    """'2023-07-01 00:00' from the id's YYYYMMDDHH."""
    return f"{log_id[0:4]}-{log_id[4:6]}-{log_id[6:8]}{separator}{log_id[8:10]}:00"


def _bz2(xml):
    return bz2.compress(xml.encode())


def _gzip(xml):
    return gzip.compress(xml.encode(), mtime=0)


def _lz4(xml):
    if LZ4 is None:
        raise RuntimeError("the lz4 command is not installed")
    return subprocess.run([LZ4, "-q", "-c"], input=xml.encode(), stdout=subprocess.PIPE, check=True).stdout


def _by_month(xml, log_id):
    """The current downloader's choice: bz2 until May 2023, gzip after."""
    return _bz2(xml) if log_id[:6] <= "202305" else _gzip(xml)


def _write(path, schema, insert, rows):
    with sqlite3.connect(path) as db:
        db.executescript(schema)
        db.executemany(insert, rows)
    db.close()


def _specials(state, three_by_column):
    """(id, xml or None, is_processed, was_error, three-player mark) of the
    rows passed over, and their reasons; `state` and `three_by_column` say
    what the layout can hold."""
    rows = [(NOT_DOWNLOADED_ID, None, 0, 0, 0), (THREE_BY_ID_ID, SPECIAL_XML, 1, 0, 1)]
    reasons = {NOT_DOWNLOADED_ID: NOT_DOWNLOADED, THREE_BY_ID_ID: THREE_PLAYER}
    if state:
        rows.append((ERROR_ID, None, 1, 1, 0))
        reasons[ERROR_ID] = ERROR_ROW
    if three_by_column:
        rows.append((THREE_BY_COLUMN_ID, SPECIAL_XML, 1, 0, 1))
        reasons[THREE_BY_COLUMN_ID] = THREE_PLAYER
    return rows, reasons


def _rows(logs, special, state, three_by_column):
    rows = [(log_id, xml, 1, 0, _three_player(log_id)) for log_id, xml in logs]
    if not special:
        return rows, {}
    extra, reasons = _specials(state, three_by_column)
    return rows + extra, reasons


def write_current_logs(path, logs, special=True):
    """logs(log_id, date, is_tonpusen, is_sanma, is_processed, was_error,
    log_content), bz2 or gzip by month."""
    rows, reasons = _rows(logs, special, state=True, three_by_column=True)
    _write(
        path,
        "CREATE TABLE logs(log_id text primary key, date text, is_tonpusen int, is_sanma int, is_processed int, "
        "was_error int, log_content text); CREATE TABLE last_downloads(name text, date int);"
        "INSERT INTO last_downloads VALUES('four', 1688169600);",
        "INSERT INTO logs VALUES(?, ?, ?, ?, ?, ?, ?)",
        [
            (i, _date(i, " "), _east_only(i), three, processed, error, None if xml is None else _by_month(xml, i))
            for i, xml, processed, error, three in rows
        ],
    )
    return reasons


def write_2020_logs(path, logs, special=True):
    """logs(log_id, is_tonpusen, is_hirosima, is_processed, was_error,
    log_content, log_hash), bz2."""
    rows, reasons = _rows(logs, special, state=True, three_by_column=True)
    _write(
        path,
        "CREATE TABLE logs(log_id text primary key, is_tonpusen int, is_hirosima int, is_processed int, "
        "was_error int, log_content text, log_hash text);",
        "INSERT INTO logs VALUES(?, ?, ?, ?, ?, ?, ?)",
        [
            (i, _east_only(i), three, processed, error, None if xml is None else _bz2(xml), None)
            for i, xml, processed, error, three in rows
        ],
    )
    return reasons


def write_typed_logs(path, logs, special=True):
    """logs(id, date, num_players, is_tonpu, is_processed, was_error, log)
    WITHOUT ROWID, gzip."""
    rows, reasons = _rows(logs, special, state=True, three_by_column=True)
    _write(
        path,
        "CREATE TABLE logs (id TEXT PRIMARY KEY, date TEXT NOT NULL, "
        "num_players INTEGER NOT NULL CHECK(num_players IN (4, 3)), "
        "is_tonpu INTEGER NOT NULL CHECK(is_tonpu IN (0, 1)), "
        "is_processed INTEGER NOT NULL CHECK(is_processed IN (0, 1)), "
        "was_error INTEGER NOT NULL CHECK(was_error IN (0, 1)), log BLOB) WITHOUT ROWID;"
        "CREATE TABLE last_fetch_time(time REAL);"
        "CREATE TABLE file_index(file TEXT PRIMARY KEY, size INTEGER NOT NULL);"
        "INSERT INTO last_fetch_time VALUES(1688169600.0);",
        "INSERT INTO logs VALUES(?, ?, ?, ?, ?, ?, ?)",
        [
            (i, _date(i, "T"), 4 - three, _east_only(i), processed, error, None if xml is None else _gzip(xml))
            for i, xml, processed, error, three in rows
        ],
    )
    return reasons


def write_merged_logs(path, logs, special=True):
    """logs(log_id, year, log_content, log_hash) of four-player games, bz2."""
    rows, reasons = _rows(logs, special, state=False, three_by_column=False)
    _write(
        path,
        "CREATE TABLE logs(log_id text primary key, year text, log_content text, log_hash text);",
        "INSERT INTO logs VALUES(?, ?, ?, ?)",
        [(i, i[:4], None if xml is None else _bz2(xml), None) for i, xml, *_ in rows],
    )
    return reasons


def write_records(path, logs, special=True):
    """records(id, timestamp, content NOT NULL) in LZ4 frames; a log not
    downloaded is empty."""
    rows, reasons = _rows(logs, special, state=False, three_by_column=False)
    _write(
        path,
        "CREATE TABLE records(id TEXT PRIMARY KEY, timestamp INTEGER, content BLOB NOT NULL);"
        "CREATE TABLE indexes(id, timestamp, numrecords);",
        "INSERT INTO records VALUES(?, ?, ?)",
        [(i, 1688169600, b"" if xml is None else _lz4(xml)) for i, xml, *_ in rows],
    )
    return reasons


WRITERS = {
    "current": write_current_logs,
    "2020": write_2020_logs,
    "typed": write_typed_logs,
    "merged": write_merged_logs,
    "records": write_records,
}
