"""Four-player Tenhou game logs to mjai event streams.

Both of Tenhou's formats are read: the version-6 JSON log and the XML log
(mjlog); the same game gives the same events from either."""

from os import PathLike
from typing import Final

__all__ = [
    "TenhouLogParsingError",
    "TenhouToMjaiError",
    "JsonSerializationError",
    "JsonParsingError",
    "tenhou_file_to_mjai",
    "tenhou_to_mjai",
    "__version__",
    "VERSION",
]

__version__: Final[str]
VERSION: Final[str]

class TenhouLogParsingError(ValueError):
    """The log was read but is not a game the converter takes ("invalid log"),
    for example one whose rule text names a three-player game although four
    seats are filled.  A three-player log whose fourth seat is empty is
    refused earlier, with JsonParsingError.  An XML log whose game type is
    three-player is refused with this error too."""

class TenhouToMjaiError(ValueError):
    """The game's order of play could not be rebuilt from the log, or an XML
    log's record cannot be a game (a tile dealt or drawn twice, a discard or
    call of a tile the seat does not hold, a step out of turn, a hand that
    stops without a result)."""

class JsonSerializationError(ValueError):
    """An event could not be written as text."""

class JsonParsingError(ValueError):
    """The text is not a Tenhou log document: not a version-6 JSON log, or an
    XML log that is not well-formed, not an mjloggm document, or has an
    element with a missing or malformed attribute."""

def tenhou_to_mjai(data: str) -> list[str]:
    """The mjai events of one game log, one compact JSON text per event.

    A text whose first element is mjloggm (after optional whitespace and an
    optional XML declaration) is read as Tenhou's XML log; any other text as
    the version-6 JSON log.

    Raises JsonParsingError, TenhouLogParsingError, TenhouToMjaiError or
    JsonSerializationError when the log cannot be converted, TypeError when
    `data` is not a str.
    """

def tenhou_file_to_mjai(
    filename: str | PathLike[str],
    mjai_out: str | PathLike[str] | None = None,
) -> list[str]:
    """The mjai events of the game log in `filename`, as tenhou_to_mjai.

    The log may be JSON or XML, told apart as tenhou_to_mjai does, and the
    file may be compressed with gzip, bzip2, LZ4, zstd or xz (recognised by
    its magic bytes); its text, decompressed, may be at most 1 GiB long.
    When `mjai_out` is given, the event texts are also written there, one
    per line ("-" is standard output).  No file is written when the log
    cannot be converted.  Raises FileNotFoundError when the log file cannot
    be opened, OSError when it cannot be read, is not UTF-8, is too large or
    holds corrupt compressed data, or when the output cannot be created or
    written, and MemoryError when memory runs out.
    """
