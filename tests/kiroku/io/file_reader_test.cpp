#include "kiroku/io/file_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "compressed_fixtures.h"
#include "kiroku/io/gzip.h"
#include "kiroku/io/unique_fd.h"

namespace kiroku {
namespace {

// An unnamed regular file holding `bytes`, read from its start.
UniqueFd file_holding(const std::string& bytes) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return UniqueFd();
  UniqueFd fd(::dup(::fileno(file)));
  std::fclose(file);
  if (::write(fd.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return UniqueFd();
  ::lseek(fd.get(), 0, SEEK_SET);
  return fd;
}

// Reads `bytes` through a pipe, whose size nothing tells in advance, fed by
// a second thread so that the pipe's own buffer never limits the size.
std::expected<PaddedText, LogFileError> read_through_pipe_with(const std::string& bytes, std::size_t max_bytes,
                                                               TextRoom* room) {
  // A refused text closes the pipe on a writer that has more to say: let it
  // see EPIPE rather than end the process.
  std::signal(SIGPIPE, SIG_IGN);
  int ends[2];
  if (::pipe(ends) != 0) return std::unexpected(LogFileError{LogFileError::Kind::Read, errno, std::nullopt, {}});
  UniqueFd read_end(ends[0]);
  std::jthread writer([&bytes, write_end = UniqueFd(ends[1])] {
    std::string_view rest = bytes;
    while (!rest.empty()) {
      const ssize_t count = ::write(write_end.get(), rest.data(), rest.size());
      if (count <= 0) return;  // the reader gave up
      rest.remove_prefix(static_cast<std::size_t>(count));
    }
  });
  auto text = read_log_text(read_end.get(), max_bytes, -1, room);
  read_end.close();  // lets a writer whose text was refused end
  return text;
}

std::expected<PaddedText, LogFileError> read_through_pipe(const std::string& bytes, std::size_t max_bytes) {
  return read_through_pipe_with(bytes, max_bytes, nullptr);
}

std::expected<PaddedText, LogFileError> read_through_file(const std::string& bytes, std::size_t max_bytes) {
  const UniqueFd fd = file_holding(bytes);
  EXPECT_TRUE(fd);
  return read_log_text(fd.get(), max_bytes);
}

std::expected<PaddedText, LogFileError> read_from_memory(const std::string& bytes, std::size_t max_bytes) {
  return log_text_from_bytes(bytes, max_bytes);
}

using Reader = std::expected<PaddedText, LogFileError> (*)(const std::string&, std::size_t);

struct Way {
  const char* name;
  Reader read;
};
constexpr Way kWays[] = {{"file", read_through_file}, {"pipe", read_through_pipe}, {"memory", read_from_memory}};

std::string packed(const std::string& text) {
  auto bytes = gzip(text);
  EXPECT_TRUE(bytes.has_value());
  return bytes.value_or("");
}

void expect_text(const std::expected<PaddedText, LogFileError>& text, const std::string& expected, const char* way) {
  ASSERT_TRUE(text.has_value()) << way << ": kind " << static_cast<int>(text.error().kind);
  EXPECT_EQ(text->view(), expected) << way;
  for (std::size_t i = 0; i < PaddedText::kPadding; ++i) ASSERT_EQ(text->data()[text->size() + i], '\0') << way;
}

void expect_error(const std::expected<PaddedText, LogFileError>& text, LogFileError::Kind kind, const char* way) {
  ASSERT_FALSE(text.has_value()) << way;
  EXPECT_EQ(text.error().kind, kind) << way;
}

TEST(file_reader_test, plain_text_is_read_whole_at_sizes_around_the_buffer_steps) {
  for (const std::size_t size : {0u, 1u, 2u, 3u, 16383u, 16384u, 16385u, 65536u, 300000u}) {
    const std::string text(size, 'x');
    for (const Way& way : kWays) expect_text(way.read(text, kDefaultMaxLogBytes), text, way.name);
  }
}

TEST(file_reader_test, plain_text_up_to_the_cap_is_taken_and_one_byte_more_is_refused) {
  for (const std::size_t cap : {1u, 2u, 1000u, 16384u, 40000u}) {
    for (const Way& way : kWays) {
      expect_text(way.read(std::string(cap, 'x'), cap), std::string(cap, 'x'), way.name);
      const auto refused = way.read(std::string(cap + 1, 'x'), cap);
      expect_error(refused, LogFileError::Kind::TooLarge, way.name);
      EXPECT_EQ(refused.error().codec, std::nullopt);
    }
  }
}

TEST(file_reader_test, gzip_content_is_decompressed_whatever_the_member_count) {
  const std::string text = "{\"log\": []}" + std::string(200000, ' ');
  const std::string two_members = packed(text.substr(0, 1000)) + packed(text.substr(1000));
  for (const Way& way : kWays) {
    expect_text(way.read(packed(text), kDefaultMaxLogBytes), text, way.name);
    expect_text(way.read(two_members, kDefaultMaxLogBytes), text, way.name);
    expect_text(way.read(packed(""), kDefaultMaxLogBytes), "", way.name);
  }
}

TEST(file_reader_test, gzip_content_up_to_the_cap_is_taken_and_one_byte_more_is_refused) {
  for (const std::size_t cap : {1u, 1000u, 70000u, 600000u}) {
    for (const Way& way : kWays) {
      expect_text(way.read(packed(std::string(cap, ' ')), cap), std::string(cap, ' '), way.name);
      const auto refused = way.read(packed(std::string(cap + 1, ' ')), cap);
      expect_error(refused, LogFileError::Kind::TooLarge, way.name);
      EXPECT_EQ(refused.error().codec, Codec::Gzip);
    }
  }
}

TEST(file_reader_test, a_regular_file_past_the_cap_is_refused_unless_it_is_gzip) {
  // Gzip's framing makes a short text's compressed form longer than the cap.
  const std::string text = "{\"log\": []}";
  const std::string compressed = packed(text);
  ASSERT_GT(compressed.size(), text.size());
  expect_text(read_through_file(compressed, text.size()), text, "file");
  expect_error(read_through_file(text, text.size() - 1), LogFileError::Kind::TooLarge, "file");
}

TEST(file_reader_test, broken_gzip_data_is_refused_with_the_reason) {
  const std::string whole = packed("{\"log\": []}");
  std::string corrupt = whole;
  corrupt[10] = '\xff';  // the first deflate block claims the reserved type
  const struct {
    std::string bytes;
    std::string detail;
  } cases[] = {
      {whole.substr(0, whole.size() - 9), "unexpected end of file"},
      {"\x1f\x8b", "unexpected end of file"},
      {whole + "junk", "unexpected data after the compressed stream"},
      {whole + "j", "unexpected data after the compressed stream"},
      {whole + "\x1f", "unexpected data after the compressed stream"},
      {corrupt, "invalid block type"},
  };
  for (const auto& [bytes, detail] : cases) {
    for (const Way& way : kWays) {
      const auto text = way.read(bytes, kDefaultMaxLogBytes);
      expect_error(text, LogFileError::Kind::Corrupt, way.name);
      EXPECT_EQ(text.error().codec, Codec::Gzip) << way.name;
      EXPECT_EQ(text.error().detail, detail) << way.name;
    }
  }
}

TEST(file_reader_test, every_codec_is_decompressed_whatever_its_frame_count) {
  const std::string text = test::fixture("realistic_game.json");
  ASSERT_FALSE(text.empty());
  const std::string skippable("\x5a\x2a\x4d\x18\x03\0\0\0abc", 11);
  for (const test::CodecFixture& codec : test::kCodecFixtures) {
    const std::string packed = test::fixture(std::string("compressed/realistic_game") + codec.extension);
    // Each holds the text once or twice.
    std::vector<std::pair<std::string, std::string>> streams = {{packed, text}, {packed + packed, text + text}};
    if (codec.codec == Codec::Lz4 || codec.codec == Codec::Zstd) {
      streams.emplace_back(packed + skippable + packed, text + text);
    }
    if (codec.codec == Codec::Zstd) streams.emplace_back(skippable + packed + skippable, text);
    if (codec.codec == Codec::Xz) {
      streams.emplace_back(packed + std::string(4, '\0') + packed + std::string(8, '\0'), text + text);
    }
    for (const Way& way : kWays) {
      for (const auto& [stream, expected] : streams) {
        expect_text(way.read(stream, kDefaultMaxLogBytes), expected, codec.extension);
      }
    }
  }
}

TEST(file_reader_test, broken_data_of_every_codec_is_refused_with_the_reason) {
  for (const test::CodecFixture& codec : test::kCodecFixtures) {
    const std::string whole = test::fixture(std::string("compressed/realistic_game") + codec.extension);
    std::string corrupt = whole;
    corrupt.back() = static_cast<char>(~corrupt.back());  // each tool ends its data with a check or a footer
    const struct {
      std::string bytes;
      const char* detail;  // any for nullptr
    } cases[] = {
        {whole.substr(0, whole.size() - 1), "unexpected end of file"},
        {whole + "junk", "unexpected data after the compressed stream"},
        {whole + whole.substr(0, 1), "unexpected data after the compressed stream"},
        {corrupt, nullptr},
    };
    for (const auto& [bytes, detail] : cases) {
      for (const Way& way : kWays) {
        const auto text = way.read(bytes, kDefaultMaxLogBytes);
        expect_error(text, LogFileError::Kind::Corrupt, codec.extension);
        EXPECT_EQ(text.error().codec, codec.codec) << codec.extension;
        if (detail != nullptr) {
          EXPECT_EQ(text.error().detail, detail) << codec.extension << " " << way.name;
        }
        EXPECT_FALSE(text.error().detail.empty()) << codec.extension;
      }
    }
  }
  const std::string xz = test::fixture("compressed/realistic_game.xz");
  const auto text = read_from_memory(xz + std::string(3, '\0'), kDefaultMaxLogBytes);
  expect_error(text, LogFileError::Kind::Corrupt, "xz padding");
  EXPECT_EQ(text.error().detail, "stream padding is not a multiple of four bytes");
}

// Peak resident memory so far, in bytes.
std::size_t peak_memory() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

TEST(file_reader_test, a_bomb_of_every_codec_stops_at_the_cap) {
  constexpr std::size_t kCap = 64 * 1024;
  for (const test::CodecFixture& codec : test::kCodecFixtures) {
    // A gibibyte of spaces in frames of a mebibyte each.
    std::string bomb;
    const std::string frame = test::fixture(std::string("compressed/spaces") + codec.extension);
    for (int i = 0; i < 1024; ++i) bomb += frame;
    const std::size_t peak_before = peak_memory();
    for (const Way& way : kWays) {
      const auto text = way.read(bomb, kCap);
      expect_error(text, LogFileError::Kind::TooLarge, codec.extension);
      EXPECT_EQ(text.error().codec, codec.codec) << codec.extension;
    }
    EXPECT_LT(peak_memory() - peak_before, std::size_t{64} << 20) << codec.extension;
  }
}

TEST(file_reader_test, text_that_is_not_utf8_is_refused_plain_or_compressed) {
  for (const Way& way : kWays) {
    expect_error(way.read("{\"a\": \"\xff\"}", kDefaultMaxLogBytes), LogFileError::Kind::InvalidUtf8, way.name);
    expect_error(way.read(packed("\xe6\x9d"), kDefaultMaxLogBytes), LogFileError::Kind::InvalidUtf8, way.name);
  }
  // A lone 1f is no gzip magic but a plain (if odd) text.
  for (const Way& way : kWays) expect_text(way.read("\x1f", kDefaultMaxLogBytes), "\x1f", way.name);
}

TEST(file_reader_test, a_wait_on_a_stream_ends_when_the_cancel_descriptor_fires) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const UniqueFd read_end(ends[0]);
  const UniqueFd write_end(ends[1]);  // open, silent: a read would wait for ever
  const UniqueFd cancel(::eventfd(1, EFD_CLOEXEC));
  ASSERT_TRUE(cancel);
  const auto text = read_log_text(read_end.get(), kDefaultMaxLogBytes, cancel.get());
  expect_error(text, LogFileError::Kind::Read, "pipe");
  EXPECT_EQ(text.error().error_number, ECANCELED);

  // A regular file never waits, so a stop does not cut it short.
  const UniqueFd file = file_holding("{}");
  expect_text(read_log_text(file.get(), kDefaultMaxLogBytes, cancel.get()), "{}", "file");
}

TEST(file_reader_test, a_failing_read_reports_its_errno) {
  const UniqueFd directory(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(directory);
  const auto text = read_log_text(directory.get(), kDefaultMaxLogBytes);
  expect_error(text, LogFileError::Kind::Read, "directory");
  EXPECT_EQ(text.error().error_number, EISDIR);
}

// Grants up to `limit` bytes, as a budget would.
class LimitedRoom final : public TextRoom {
 public:
  explicit LimitedRoom(std::size_t limit) noexcept : limit_(limit) {}
  std::size_t grow(std::size_t needed, std::size_t wanted) override {
    EXPECT_LE(needed, wanted);
    return needed > limit_ ? 0 : std::min(wanted, limit_);
  }

 private:
  std::size_t limit_;
};

TEST(file_reader_test, the_buffer_grows_only_as_far_as_the_room_grants) {
  const std::size_t limit = 200000;
  for (const bool compressed : {false, true}) {
    for (const bool through_pipe : {false, true}) {
      const auto read = [&](const std::string& text, LimitedRoom& room) {
        const std::string bytes = compressed ? packed(text) : text;
        if (through_pipe) return read_through_pipe_with(bytes, kDefaultMaxLogBytes, &room);
        const UniqueFd fd = file_holding(bytes);
        return read_log_text(fd.get(), kDefaultMaxLogBytes, -1, &room);
      };
      const std::string way = std::string(compressed ? "gzip " : "plain ") + (through_pipe ? "pipe" : "file");
      LimitedRoom fits(limit);
      // Whatever size the reader would rather have, the granted one holds
      // the text and the byte after it that proves its end.
      const std::string text(limit - 1, 'x');
      expect_text(read(text, fits), text, way.c_str());

      LimitedRoom tight(limit);
      const auto refused = read(std::string(limit + 1, 'x'), tight);
      expect_error(refused, LogFileError::Kind::TooLarge, way.c_str());
      EXPECT_TRUE(refused.error().room_refused) << way;
      EXPECT_EQ(refused.error().codec, compressed ? std::optional(Codec::Gzip) : std::nullopt) << way;
    }
  }
}

TEST(file_reader_test, sizes_read_as_whole_units_where_they_are_whole) {
  EXPECT_EQ(size_text(kDefaultMaxLogBytes), "1 GiB");
  EXPECT_EQ(size_text(kLargestMaxLogBytes), "1 TiB");
  EXPECT_EQ(size_text(512 << 10), "512 KiB");
  EXPECT_EQ(size_text(3 << 20), "3 MiB");
  EXPECT_EQ(size_text(1536), "1536 bytes");
  EXPECT_EQ(size_text(1), "1 byte");
}

}  // namespace
}  // namespace kiroku
