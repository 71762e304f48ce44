"""Memory stays flat over thousands of calls, on success and on every failure
path: the inputs' reference counts do not move, no Python object is left
behind (tracemalloc), and the resident size does not grow (C++ buffers)."""

import gc
import gzip
import os
import sys
import tracemalloc

import pytest

import _kiroku
from conftest import EMPTY_GAME, ONE_HAND_GAME, STAGE_FAILURES, nine_terminals_hand, game_text

ITERATIONS = 3000
# Every failing text is padded to this size, so that a buffer kept per call
# would add ITERATIONS * PADDING bytes (48 MiB), far above the allowance.
PADDING = 16 * 1024
RESIDENT_ALLOWANCE = 8 << 20
TRACED_ALLOWANCE = 32 * 1024


def padded(text, size=PADDING):
    return text + " " * max(0, size - len(text))


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def expect_flat(call, *inputs, iterations=ITERATIONS):
    for _ in range(100):  # warm up: allocator arenas, caches, the exception classes
        call()
    gc.collect()
    counts = [sys.getrefcount(x) for x in inputs]
    before = resident_bytes()
    for _ in range(iterations):
        call()
    gc.collect()
    growth = resident_bytes() - before
    assert [sys.getrefcount(x) for x in inputs] == counts
    assert growth < RESIDENT_ALLOWANCE, f"resident size grew by {growth} bytes"

    tracemalloc.start()
    try:
        call()
        gc.collect()
        start, _ = tracemalloc.get_traced_memory()
        for _ in range(iterations):
            call()
        gc.collect()
        end, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    assert end - start < TRACED_ALLOWANCE, f"{end - start} bytes of Python objects left behind"


def raising(error_class, function, *args, **kwargs):
    def call():
        try:
            function(*args, **kwargs)
        except error_class:
            return
        raise AssertionError("no exception")

    return call


@pytest.fixture(scope="module")
def game_text_large(realistic_game):
    return realistic_game.read_text(encoding="utf-8")


@pytest.fixture
def files(tmp_path):
    class Files:
        good = tmp_path / "good.json"
        bad_utf8 = tmp_path / "bad.json"
        missing = tmp_path / "missing.json"
        out = tmp_path / "out.jsonl"
        stage = {}

    # Larger, for the tests that afford fewer rounds.
    Files.good.write_text(padded(ONE_HAND_GAME, 4 * PADDING), encoding="utf-8")
    Files.bad_utf8.write_bytes(padded(EMPTY_GAME).encode() + b"\xff")
    for stage, (text, _, _) in STAGE_FAILURES.items():
        Files.stage[stage] = tmp_path / f"{stage}.json"
        Files.stage[stage].write_text(padded(text), encoding="utf-8")
    return Files


class TestSuccess:
    def test_text_of_a_full_game(self, game_text_large):
        expect_flat(lambda: _kiroku.tenhou_to_mjai(game_text_large), game_text_large, iterations=1000)

    def test_small_game_many_times(self):
        text = padded(game_text([nine_terminals_hand()] * 8))
        expect_flat(lambda: _kiroku.tenhou_to_mjai(text), text)

    def test_gzip_file(self, files, tmp_path):
        path = tmp_path / "good.json.gz"
        path.write_bytes(gzip.compress(files.good.read_bytes()))
        path = str(path)
        expect_flat(lambda: _kiroku.tenhou_file_to_mjai(path), path)

    def test_file_without_output(self, files):
        path = str(files.good)
        expect_flat(lambda: _kiroku.tenhou_file_to_mjai(path), path)

    def test_file_with_output_file(self, files):
        path, out = files.good, files.out
        # Creating files is slow on some file systems: fewer rounds.
        expect_flat(lambda: _kiroku.tenhou_file_to_mjai(path, out), path, out, iterations=400)

    def test_file_to_standard_output(self, files):
        path = str(files.good)
        saved = os.dup(1)
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        try:
            expect_flat(lambda: _kiroku.tenhou_file_to_mjai(path, "-"), path, iterations=1000)
        finally:
            os.dup2(saved, 1)
            os.close(saved)
            os.close(devnull)


class TestStageFailures:
    @pytest.mark.parametrize("stage", sorted(STAGE_FAILURES))
    def test_text(self, stage):
        text, error_class, _ = STAGE_FAILURES[stage]
        text = padded(text)
        expect_flat(raising(error_class, _kiroku.tenhou_to_mjai, text), text, error_class)

    @pytest.mark.parametrize("stage", sorted(STAGE_FAILURES))
    def test_file_with_output(self, files, stage):
        _, error_class, _ = STAGE_FAILURES[stage]
        path, out = str(files.stage[stage]), str(files.out)
        expect_flat(raising(error_class, _kiroku.tenhou_file_to_mjai, path, out), path, out, error_class)


class TestArgumentFailures:
    def test_wrong_type(self):
        data = b"{}" * PADDING
        expect_flat(raising(TypeError, _kiroku.tenhou_to_mjai, data), data)

    def test_binding(self):
        data = padded(EMPTY_GAME)
        expect_flat(raising(TypeError, _kiroku.tenhou_to_mjai, data, data), data)
        expect_flat(raising(TypeError, _kiroku.tenhou_to_mjai, data, bogus=data), data)
        expect_flat(raising(TypeError, _kiroku.tenhou_to_mjai, data, data=data), data)
        expect_flat(raising(TypeError, _kiroku.tenhou_file_to_mjai, mjai_out=data), data)

    def test_unpaired_surrogate(self):
        data = padded(EMPTY_GAME) + "\ud800"
        expect_flat(raising(UnicodeEncodeError, _kiroku.tenhou_to_mjai, data), data)

    def test_path_type_errors(self):
        number = 10**40
        expect_flat(raising(TypeError, _kiroku.tenhou_file_to_mjai, number), number)
        path = b"x" * PADDING
        expect_flat(raising(TypeError, _kiroku.tenhou_file_to_mjai, "log.json", path), path)

    def test_path_type_error_with_cause(self):
        cause = KeyError("cause")

        class BadPath:
            def __fspath__(self):
                raise TypeError("bad") from cause

        bad = BadPath()
        expect_flat(raising(TypeError, _kiroku.tenhou_file_to_mjai, bad), bad, cause)


class TestFileFailures:
    def test_missing_input(self, files):
        path = str(files.missing) + "x" * 200
        expect_flat(raising(FileNotFoundError, _kiroku.tenhou_file_to_mjai, path), path)

    def test_invalid_utf8(self, files):
        path = str(files.bad_utf8)
        expect_flat(raising(OSError, _kiroku.tenhou_file_to_mjai, path), path)

    def test_corrupt_gzip(self, tmp_path):
        path = tmp_path / "cut.json.gz"
        packed = gzip.compress(padded(ONE_HAND_GAME).encode())
        path.write_bytes(packed[: len(packed) // 2])
        path = str(path)
        expect_flat(raising(OSError, _kiroku.tenhou_file_to_mjai, path), path)

    def test_gzip_content_not_utf8(self, tmp_path):
        path = tmp_path / "bad.json.gz"
        path.write_bytes(gzip.compress(padded(EMPTY_GAME).encode() + b"\xff"))
        path = str(path)
        expect_flat(raising(OSError, _kiroku.tenhou_file_to_mjai, path), path)

    def test_file_past_the_size_limit(self, tmp_path):
        path = tmp_path / "huge.json"
        with open(path, "wb") as out:
            out.truncate((1 << 30) + 1)
        path = str(path)
        expect_flat(raising(OSError, _kiroku.tenhou_file_to_mjai, path), path)

    def test_directory(self, tmp_path):
        path = str(tmp_path)
        expect_flat(raising(OSError, _kiroku.tenhou_file_to_mjai, path), path)

    def test_output_cannot_be_created(self, files, tmp_path):
        path, out = str(files.good), str(tmp_path / "missing" / "out.jsonl")
        expect_flat(raising(OSError, _kiroku.tenhou_file_to_mjai, path, out), path, out)

    def test_output_write_fails(self, files):
        if not os.path.exists("/dev/full"):
            pytest.skip("/dev/full is not available")
        path = str(files.good)
        expect_flat(raising(OSError, _kiroku.tenhou_file_to_mjai, path, "/dev/full"), path)
