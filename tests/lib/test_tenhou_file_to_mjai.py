"""tenhou_file_to_mjai: reading the log file, writing the event lines."""

import gzip
import os
import stat
import subprocess

import pytest

import _kiroku
from compressors import CODECS, compress
from conftest import (
    EMPTY_GAME,
    ONE_HAND_GAME,
    PARSE_MESSAGE,
    STAGE_FAILURES,
    WRITE_MESSAGE,
    expected_file_content,
    run_python,
)


def raises_exactly(error_class, call):
    with pytest.raises(error_class) as info:
        call()
    assert type(info.value) is error_class
    return info.value


def check_os_error(error, message):
    # The message is the only argument, so the OSError fields stay unset.
    assert error.args == (message,)
    assert str(error) == message
    assert error.errno is None and error.strerror is None and error.filename is None
    assert error.__cause__ is None and error.__context__ is None


class TestReading:
    def test_same_list_as_from_text(self, log_file):
        path = log_file(ONE_HAND_GAME)
        assert _kiroku.tenhou_file_to_mjai(path) == _kiroku.tenhou_to_mjai(ONE_HAND_GAME)

    def test_realistic_game(self, realistic_game):
        expected = _kiroku.tenhou_to_mjai(realistic_game.read_text(encoding="utf-8"))
        assert _kiroku.tenhou_file_to_mjai(realistic_game) == expected
        assert _kiroku.tenhou_file_to_mjai(str(realistic_game)) == expected

    def test_real_games(self, corpus_files):
        for path in corpus_files:
            assert _kiroku.tenhou_file_to_mjai(path) == _kiroku.tenhou_to_mjai(path.read_text(encoding="utf-8"))

    def test_without_output_nothing_is_written(self, tmp_path, log_file):
        path = log_file(ONE_HAND_GAME)
        before = sorted(os.listdir(tmp_path))
        assert _kiroku.tenhou_file_to_mjai(path) == _kiroku.tenhou_file_to_mjai(path, None)
        assert _kiroku.tenhou_file_to_mjai(path, mjai_out=None) == _kiroku.tenhou_to_mjai(ONE_HAND_GAME)
        assert sorted(os.listdir(tmp_path)) == before

    def test_file_read_from_a_pipe(self, tmp_path):
        # No size known in advance: the buffer grows as the data comes.  The
        # writer is another process: the call keeps the interpreter lock.
        fifo = tmp_path / "fifo"
        os.mkfifo(fifo)
        source = tmp_path / "log.json"
        source.write_text(" " * 100_000 + ONE_HAND_GAME, encoding="utf-8")
        writer = subprocess.Popen(["sh", "-c", 'cat "$0" > "$1"', str(source), str(fifo)])
        try:
            events = _kiroku.tenhou_file_to_mjai(fifo)
        finally:
            writer.wait(timeout=60)
        assert events == _kiroku.tenhou_to_mjai(ONE_HAND_GAME)


class TestInputErrors:
    def test_missing_file(self, tmp_path):
        path = tmp_path / "missing.json"
        error = raises_exactly(FileNotFoundError, lambda: _kiroku.tenhou_file_to_mjai(path))
        check_os_error(error, f'failed to open tenhou log file "{path}"')
        assert str(error).endswith(f'"{path}"')

    @pytest.mark.parametrize(
        "make_path",
        [
            lambda tmp: tmp / "file.json" / "below",  # a file used as a directory
            lambda tmp: tmp / ("x" * 300),  # a name too long for the file system
            lambda tmp: tmp / "loop",  # a symbolic link to itself
            lambda tmp: tmp / "nul\0byte",  # no system call can name it
        ],
        ids=["not_a_directory", "name_too_long", "link_loop", "nul_byte"],
    )
    def test_every_open_failure_is_file_not_found(self, tmp_path, make_path):
        (tmp_path / "file.json").write_text(EMPTY_GAME)
        os.symlink("loop", tmp_path / "loop")
        path = make_path(tmp_path)
        error = raises_exactly(FileNotFoundError, lambda: _kiroku.tenhou_file_to_mjai(str(path)))
        assert str(error).startswith("failed to open tenhou log file \"")

    def test_nul_byte_is_escaped_in_the_message(self):
        error = raises_exactly(FileNotFoundError, lambda: _kiroku.tenhou_file_to_mjai("a\0b"))
        assert str(error) == 'failed to open tenhou log file "a\\0b"'

    @pytest.mark.parametrize(
        "name, quoted",
        [
            ("plain.json", "plain.json"),
            ("tab\there", "tab\\there"),
            ("cr\rlf\n", "cr\\rlf\\n"),
            ('quote"s\'', 'quote\\"s\\\''),
            ("back\\slash", "back\\\\slash"),
            ("bell\x07del\x7f", "bell\\u{7}del\\u{7f}"),
            ("caf\u00e9 東 \U0001d11e", "caf\u00e9 東 \U0001d11e"),
            ("e\u0301", "e\\u{301}"),  # combining acute accent
            ("zw\u200bsp\u00a0", "zw\\u{200b}sp\\u{a0}"),  # format char, no-break space
            ("bad\udcff\udcc3", "bad\\xFF\\xC3"),  # undecodable bytes
            ("cut\udce6\udc9d", "cut\\xE6\\x9D"),  # a truncated three-byte sequence
        ],
    )
    def test_quoted_form_of_the_path(self, tmp_path, name, quoted):
        path = str(tmp_path / "missing") + "/" + name
        error = raises_exactly(FileNotFoundError, lambda: _kiroku.tenhou_file_to_mjai(path))
        assert str(error) == f'failed to open tenhou log file "{tmp_path}/missing/{quoted}"'

    def test_unreadable_file_is_file_not_found(self, tmp_path):
        path = tmp_path / "secret.json"
        path.write_text(EMPTY_GAME)
        path.chmod(0)
        code = f"""
            import _kiroku
            try:
                _kiroku.tenhou_file_to_mjai({str(path)!r})
            except FileNotFoundError as error:
                print(str(error))
            """
        if os.geteuid() == 0:
            # The superuser reads everything: try as nobody instead.
            tmp_path.chmod(0o755)
            try:
                result = run_python(code, user=65534)
            except (OSError, PermissionError):
                pytest.skip("cannot run a process as another user")
            if b"ModuleNotFoundError" in result.stderr or b"Permission denied" in result.stderr:
                pytest.skip("the module is not readable by the unprivileged user")
        else:
            result = run_python(code)
        assert result.returncode == 0, result.stderr.decode()
        assert result.stdout.decode().strip() == f'failed to open tenhou log file "{path}"'

    def test_directory_fails_while_reading(self, tmp_path):
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(tmp_path))
        check_os_error(error, f"{os.strerror(21)} (os error 21)")

    @pytest.mark.parametrize(
        "content",
        [b"\xff", b'{"log": [], "name": ["\xc3"]}', b"\xed\xa0\x80", b"\xc0\xaf", b"\xf4\x90\x80\x80",
         EMPTY_GAME.encode() + b"\xe6\x9d"],
        ids=["lone_ff", "truncated_pair", "surrogate", "overlong", "above_max", "truncated_end"],
    )
    def test_content_that_is_not_utf8(self, log_file, content):
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(log_file(content)))
        check_os_error(error, "stream did not contain valid UTF-8")

    def test_a_byte_order_mark_is_skipped(self, log_file):
        assert _kiroku.tenhou_file_to_mjai(log_file(b"\xef\xbb\xbf" + EMPTY_GAME.encode())) == _kiroku.tenhou_to_mjai(
            EMPTY_GAME
        )

    def test_empty_file(self, log_file):
        with pytest.raises(_kiroku.JsonParsingError, match=f"^{PARSE_MESSAGE}$"):
            _kiroku.tenhou_file_to_mjai(log_file(b""))

    @pytest.mark.parametrize("stage", sorted(STAGE_FAILURES))
    def test_stage_failures(self, log_file, stage):
        text, error_class, message = STAGE_FAILURES[stage]
        error = raises_exactly(error_class, lambda: _kiroku.tenhou_file_to_mjai(log_file(text)))
        assert error.args == (message,)


SIZE_LIMIT = 1 << 30


def memory_available():
    with open("/proc/meminfo") as meminfo:
        for line in meminfo:
            if line.startswith("MemAvailable:"):
                return int(line.split()[1]) * 1024
    return 0


class TestCompressedInput:
    def test_gzip_file_gives_the_same_events(self, log_file):
        expected = _kiroku.tenhou_to_mjai(ONE_HAND_GAME)
        for name in ["log.json.gz", "log.json", "log"]:  # recognised by content, not name
            assert _kiroku.tenhou_file_to_mjai(log_file(gzip.compress(ONE_HAND_GAME.encode()), name)) == expected

    def test_concatenated_members_hold_one_text(self, log_file):
        data = ONE_HAND_GAME.encode()
        half = len(data) // 2
        path = log_file(gzip.compress(data[:half]) + gzip.compress(data[half:]))
        assert _kiroku.tenhou_file_to_mjai(path) == _kiroku.tenhou_to_mjai(ONE_HAND_GAME)

    @pytest.mark.parametrize("codec", CODECS)
    def test_every_codec_gives_the_same_events_as_the_plain_log(self, log_file, codec):
        data = ONE_HAND_GAME.encode()
        half = len(data) // 2
        packed = compress(codec, data)
        expected = _kiroku.tenhou_to_mjai(ONE_HAND_GAME)
        assert _kiroku.tenhou_file_to_mjai(log_file(packed)) == expected
        two_frames = compress(codec, data[:half]) + compress(codec, data[half:])
        assert _kiroku.tenhou_file_to_mjai(log_file(two_frames)) == expected
        for broken, reason in [
            (packed[:-1], "unexpected end of file"),
            (packed + b"junk", "unexpected data after the compressed stream"),
        ]:
            error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(log_file(broken)))
            check_os_error(error, f"invalid {codec} data: {reason}")

    def test_output_file_as_from_a_plain_file(self, tmp_path, log_file):
        out = tmp_path / "out.jsonl"
        events = _kiroku.tenhou_file_to_mjai(log_file(gzip.compress(ONE_HAND_GAME.encode())), out)
        assert out.read_bytes() == expected_file_content(events)

    @pytest.mark.parametrize(
        "make, message",
        [
            (lambda packed: packed[:-9], "invalid gzip data: unexpected end of file"),
            (lambda packed: packed[:2], "invalid gzip data: unexpected end of file"),
            (lambda packed: packed + b"junk", "invalid gzip data: unexpected data after the compressed stream"),
            (lambda packed: packed[:10] + b"\xff" + packed[11:], "invalid gzip data: invalid block type"),
            (lambda packed: packed[:-8] + bytes(8), "invalid gzip data: incorrect data check"),
        ],
        ids=["truncated", "magic_only", "trailing_junk", "bad_block", "bad_checksum"],
    )
    def test_corrupt_data_is_an_os_error(self, tmp_path, log_file, make, message):
        out = tmp_path / "out.jsonl"
        path = log_file(make(gzip.compress(ONE_HAND_GAME.encode())))
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(path, out))
        check_os_error(error, message)
        assert not out.exists()

    def test_content_that_is_not_utf8(self, log_file):
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(log_file(gzip.compress(b"\xff"))))
        check_os_error(error, "stream did not contain valid UTF-8")

    @pytest.mark.parametrize("stage", sorted(STAGE_FAILURES))
    def test_stage_failures(self, log_file, stage):
        text, error_class, message = STAGE_FAILURES[stage]
        path = log_file(gzip.compress(text.encode()))
        error = raises_exactly(error_class, lambda: _kiroku.tenhou_file_to_mjai(path))
        assert error.args == (message,)


class TestSizeLimit:
    def test_plain_file_past_the_limit_is_refused_before_it_is_read(self, tmp_path):
        # Sparse: the refusal comes from the size alone, so nothing is read
        # and no memory is asked for.
        path = tmp_path / "huge.json"
        with open(path, "wb") as out:
            out.truncate(16 << 30)
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(path))
        check_os_error(error, "log file exceeds the size limit of 1 GiB")

    def test_gzip_content_past_the_limit_is_refused(self, tmp_path):
        if memory_available() < 3 * SIZE_LIMIT:
            pytest.skip("decompressing up to the limit needs about 2 GiB of free memory")
        # One byte past the limit, as concatenated members (a megabyte of
        # spaces each), which a few kilobytes hold.
        path = tmp_path / "bomb.json.gz"
        megabyte = gzip.compress(b" " * (1 << 20))
        path.write_bytes(megabyte * (SIZE_LIMIT >> 20) + gzip.compress(b" "))
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(path))
        check_os_error(error, "decompressed log exceeds the size limit of 1 GiB")


class TestOutputFile:
    def test_file_holds_exactly_the_event_lines(self, tmp_path, log_file):
        out = tmp_path / "out.jsonl"
        events = _kiroku.tenhou_file_to_mjai(log_file(ONE_HAND_GAME), out)
        assert events == _kiroku.tenhou_to_mjai(ONE_HAND_GAME)
        assert out.read_bytes() == expected_file_content(events)

    def test_realistic_game_lines(self, tmp_path, realistic_game):
        out = tmp_path / "out.jsonl"
        events = _kiroku.tenhou_file_to_mjai(realistic_game, out)
        assert out.read_bytes() == expected_file_content(events)
        # The stored expectation, where the game comes with one.
        expected = realistic_game.with_suffix(".mjson")
        if expected.exists():
            assert out.read_bytes() == expected.read_bytes()

    def test_existing_file_is_truncated(self, tmp_path, log_file):
        out = tmp_path / "out.jsonl"
        out.write_bytes(b"x" * 100_000)
        events = _kiroku.tenhou_file_to_mjai(log_file(EMPTY_GAME), out)
        assert out.read_bytes() == expected_file_content(events)

    @pytest.mark.parametrize("umask", [0o022, 0o077, 0o000])
    def test_created_with_0666_less_the_umask(self, tmp_path, log_file, umask):
        out = tmp_path / "out.jsonl"
        previous = os.umask(umask)
        try:
            _kiroku.tenhou_file_to_mjai(log_file(EMPTY_GAME), out)
        finally:
            os.umask(previous)
        assert stat.S_IMODE(out.stat().st_mode) == 0o666 & ~umask

    def test_output_may_be_the_input_file(self, log_file):
        path = log_file(ONE_HAND_GAME)
        events = _kiroku.tenhou_file_to_mjai(path, path)
        assert events == _kiroku.tenhou_to_mjai(ONE_HAND_GAME)
        assert path.read_bytes() == expected_file_content(events)

    @pytest.mark.parametrize("kind", ["str", "path", "path_like"])
    def test_output_path_kinds(self, tmp_path, log_file, kind):
        out = tmp_path / "out.jsonl"

        class PathLike:
            def __fspath__(self):
                return str(out)

        value = {"str": str(out), "path": out, "path_like": PathLike()}[kind]
        events = _kiroku.tenhou_file_to_mjai(log_file(EMPTY_GAME), value)
        assert out.read_bytes() == expected_file_content(events)

    def test_dot_slash_dash_creates_a_file_named_dash(self, tmp_path, log_file):
        path = log_file(EMPTY_GAME)
        result = run_python(f"import _kiroku; _kiroku.tenhou_file_to_mjai({str(path)!r}, './-')", cwd=tmp_path)
        assert result.returncode == 0, result.stderr.decode()
        assert result.stdout == b""
        assert (tmp_path / "-").read_bytes() == expected_file_content(_kiroku.tenhou_to_mjai(EMPTY_GAME))

    @pytest.mark.parametrize("stage", sorted(STAGE_FAILURES))
    def test_failing_stage_creates_no_file(self, tmp_path, log_file, stage):
        text, error_class, _ = STAGE_FAILURES[stage]
        out = tmp_path / "out.jsonl"
        with pytest.raises(error_class):
            _kiroku.tenhou_file_to_mjai(log_file(text), out)
        assert not out.exists()

    @pytest.mark.parametrize("stage", sorted(STAGE_FAILURES))
    def test_failing_stage_leaves_an_existing_file_untouched(self, tmp_path, log_file, stage):
        text, error_class, _ = STAGE_FAILURES[stage]
        out = tmp_path / "out.jsonl"
        out.write_bytes(b"previous content\n")
        os.utime(out, (1_000_000, 1_000_000))
        with pytest.raises(error_class):
            _kiroku.tenhou_file_to_mjai(log_file(text), out)
        assert out.read_bytes() == b"previous content\n"
        assert out.stat().st_mtime == 1_000_000

    @pytest.mark.parametrize("content", [None, b"\xff"], ids=["missing_input", "invalid_utf8"])
    def test_failing_input_leaves_the_output_alone(self, tmp_path, content):
        source = tmp_path / "log.json"
        if content is not None:
            source.write_bytes(content)
        out = tmp_path / "out.jsonl"
        out.write_bytes(b"previous content\n")
        with pytest.raises(OSError):
            _kiroku.tenhou_file_to_mjai(source, out)
        assert out.read_bytes() == b"previous content\n"


class TestOutputErrors:
    def test_missing_directory(self, tmp_path, log_file):
        out = tmp_path / "no" / "such" / "dir" / "out.jsonl"
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(log_file(EMPTY_GAME), out))
        check_os_error(error, f"failed to create mjai out file {out}")

    def test_display_form_is_unquoted_and_lossy(self, tmp_path, log_file):
        out = str(tmp_path / "no") + "/tab\t\"q\" bad\udcff\udcfe end"
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(log_file(EMPTY_GAME), out))
        assert str(error) == f"failed to create mjai out file {tmp_path}/no/tab\t\"q\" bad\ufffd\ufffd end"

    def test_directory_as_output(self, tmp_path, log_file):
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(log_file(EMPTY_GAME), tmp_path))
        check_os_error(error, f"failed to create mjai out file {tmp_path}")

    def test_write_failure(self, log_file):
        if not os.path.exists("/dev/full"):
            pytest.skip("/dev/full is not available")
        error = raises_exactly(OSError, lambda: _kiroku.tenhou_file_to_mjai(log_file(ONE_HAND_GAME), "/dev/full"))
        check_os_error(error, WRITE_MESSAGE)

    def test_failed_write_keeps_the_lines_before_it(self, tmp_path, realistic_game):
        # A file size limit stops the writing part way, as a full disk would.
        out = tmp_path / "out.jsonl"
        limit = 4096
        result = run_python(
            f"""
            import resource, signal, _kiroku
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, ({limit}, {limit}))
            try:
                _kiroku.tenhou_file_to_mjai({str(realistic_game)!r}, {str(out)!r})
            except OSError as error:
                print(type(error).__name__, error.args)
            """
        )
        assert result.returncode == 0, result.stderr.decode()
        assert result.stdout.decode().strip() == f"OSError ({WRITE_MESSAGE!r},)"
        expected = expected_file_content(_kiroku.tenhou_file_to_mjai(realistic_game))
        assert len(expected) > limit
        assert out.read_bytes() == expected[:limit]

    def test_failed_close_is_a_write_failure(self, tmp_path, log_file):
        shim = os.environ.get("KIROKU_CLOSE_FAILURE_SHIM")
        if not shim or not os.path.exists(shim):
            pytest.skip("the close-failure library is not built (KIROKU_CLOSE_FAILURE_SHIM)")
        source = log_file(ONE_HAND_GAME)
        out = tmp_path / "out.jsonl"
        other = tmp_path / "other.jsonl"
        result = run_python(
            f"""
            import os, _kiroku
            try:
                _kiroku.tenhou_file_to_mjai({str(source)!r}, {str(out)!r})
            except OSError as error:
                print(type(error).__name__, error.args)
            # Only the chosen file fails to close.
            _kiroku.tenhou_file_to_mjai({str(source)!r}, {str(other)!r})
            del os.environ["KIROKU_FAIL_CLOSE_OF"]
            """,
            env={"LD_PRELOAD": " ".join(filter(None, [os.environ.get("LD_PRELOAD"), shim])),
                 "KIROKU_FAIL_CLOSE_OF": str(out)},
        )
        assert result.returncode == 0, result.stderr.decode()
        assert result.stdout.decode().strip() == f"OSError ({WRITE_MESSAGE!r},)"
        # Everything was written before the close reported the failure.
        assert out.read_bytes() == expected_file_content(_kiroku.tenhou_to_mjai(ONE_HAND_GAME))
        assert other.read_bytes() == out.read_bytes()

    def test_module_stays_usable_after_output_errors(self, tmp_path, log_file):
        with pytest.raises(OSError):
            _kiroku.tenhou_file_to_mjai(log_file(EMPTY_GAME), tmp_path / "no" / "out")
        out = tmp_path / "out.jsonl"
        _kiroku.tenhou_file_to_mjai(log_file(EMPTY_GAME), out)
        assert out.read_bytes() == expected_file_content(_kiroku.tenhou_to_mjai(EMPTY_GAME))


class TestStandardOutput:
    @pytest.mark.parametrize("dash", ["-", "-/", "-//", "-/./", "-/."])
    def test_dash_writes_the_lines_to_descriptor_1(self, tmp_path, log_file, dash):
        path = log_file(ONE_HAND_GAME)
        result = run_python(
            f"""
            import sys, _kiroku
            events = _kiroku.tenhou_file_to_mjai({str(path)!r}, {dash!r})
            sys.stderr.write(repr(events))
            """,
            cwd=tmp_path,
        )
        assert result.returncode == 0, result.stderr.decode()
        events = _kiroku.tenhou_to_mjai(ONE_HAND_GAME)
        assert result.stdout == expected_file_content(events)
        assert result.stderr.decode() == repr(events)
        assert not (tmp_path / "-").exists()

    def test_dash_as_path_object(self, log_file):
        path = log_file(EMPTY_GAME)
        result = run_python(f"import pathlib, _kiroku; _kiroku.tenhou_file_to_mjai({str(path)!r}, pathlib.Path('-'))")
        assert result.returncode == 0, result.stderr.decode()
        assert result.stdout == expected_file_content(_kiroku.tenhou_to_mjai(EMPTY_GAME))

    def test_sys_stdout_is_not_used(self, log_file):
        path = log_file(EMPTY_GAME)
        result = run_python(
            f"""
            import io, sys, _kiroku
            sys.stdout = io.StringIO()
            _kiroku.tenhou_file_to_mjai({str(path)!r}, "-")
            sys.stderr.write(repr(sys.stdout.getvalue()))
            """
        )
        assert result.returncode == 0, result.stderr.decode()
        assert result.stdout == expected_file_content(_kiroku.tenhou_to_mjai(EMPTY_GAME))
        assert result.stderr == b"''"

    def test_repeated_calls_append_to_standard_output(self, log_file):
        path = log_file(ONE_HAND_GAME)
        result = run_python(f"import _kiroku\nfor _ in range(3): _kiroku.tenhou_file_to_mjai({str(path)!r}, '-')")
        assert result.returncode == 0, result.stderr.decode()
        assert result.stdout == expected_file_content(_kiroku.tenhou_to_mjai(ONE_HAND_GAME)) * 3

    def test_closed_descriptor_1_discards_the_lines(self, log_file):
        path = log_file(ONE_HAND_GAME)
        result = run_python(
            f"""
            import os, sys, _kiroku
            os.close(1)
            events = _kiroku.tenhou_file_to_mjai({str(path)!r}, "-")
            sys.stderr.write(str(len(events)))
            """
        )
        assert result.returncode == 0, result.stderr.decode()
        assert result.stderr.decode() == str(len(_kiroku.tenhou_to_mjai(ONE_HAND_GAME)))

    def test_closed_pipe_is_a_write_failure(self, log_file):
        path = log_file(ONE_HAND_GAME)
        result = run_python(
            f"""
            import os, sys, _kiroku
            read_end, write_end = os.pipe()
            os.dup2(write_end, 1)
            os.close(read_end)
            try:
                _kiroku.tenhou_file_to_mjai({str(path)!r}, "-")
            except OSError as error:
                sys.stderr.write(type(error).__name__ + repr(error.args))
            # Let the interpreter's own flush at exit find a working stdout.
            os.dup2(os.open(os.devnull, os.O_WRONLY), 1)
            """
        )
        assert result.returncode == 0, result.stderr.decode()
        assert result.stderr.decode() == f"OSError({WRITE_MESSAGE!r},)"

    def test_failing_stage_writes_nothing_to_standard_output(self, log_file):
        for text, _, _ in STAGE_FAILURES.values():
            result = run_python(
                f"""
                import _kiroku
                try:
                    _kiroku.tenhou_file_to_mjai({str(log_file(text))!r}, "-")
                except ValueError:
                    pass
                """
            )
            assert result.returncode == 0, result.stderr.decode()
            assert result.stdout == b""
