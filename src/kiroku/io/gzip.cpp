#include "kiroku/io/gzip.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>  // UINT_MAX
#include <new>
#include <utility>

#include "kiroku/io/decompressor.h"

namespace kiroku {
namespace {

// zlib's window bits plus 16: the gzip wrapper rather than the zlib one.
constexpr int kGzipWindowBits = 15 + 16;

// The compressed bytes gathered before they go to the sink.
constexpr std::size_t kOutputPiece = 64 * 1024;

std::string zlib_failure(const z_stream& stream, int status) {
  if (status == Z_MEM_ERROR) return "out of memory";
  if (stream.msg != nullptr) return stream.msg;
  return "corrupt data";
}

// zlib counts in uInt; longer buffers are handed over in slices.
uInt slice(std::size_t remaining) noexcept { return static_cast<uInt>(std::min<std::size_t>(remaining, UINT_MAX)); }

// zlib's API is not const-correct; it only reads its input.
Bytef* input_bytes(const char* data) noexcept { return reinterpret_cast<Bytef*>(const_cast<char*>(data)); }

class GzipDecompressor final : public Decompressor {
 public:
  GzipDecompressor() {
    // Only memory can fail here: the parameters are fixed and valid.
    if (inflateInit2(&stream_, kGzipWindowBits) != Z_OK) throw std::bad_alloc();
  }
  GzipDecompressor(const GzipDecompressor&) = delete;
  GzipDecompressor& operator=(const GzipDecompressor&) = delete;
  ~GzipDecompressor() override { inflateEnd(&stream_); }

  std::expected<Step, std::string> decompress(std::string_view input, std::span<char> output) override {
    stream_.next_in = input_bytes(input.data());
    stream_.avail_in = slice(input.size());
    stream_.next_out = reinterpret_cast<Bytef*>(output.data());
    stream_.avail_out = slice(output.size());
    const uInt offered_in = stream_.avail_in;
    const uInt offered_out = stream_.avail_out;
    const int status = ::inflate(&stream_, Z_NO_FLUSH);
    const Step step{offered_in - stream_.avail_in, offered_out - stream_.avail_out, status == Z_STREAM_END};
    // Z_BUF_ERROR only says that no progress was possible; the caller sees
    // that in the step and brings more input or more room.
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
      return std::unexpected(zlib_failure(stream_, status));
    }
    return step;
  }

  void next_frame() noexcept override { inflateReset(&stream_); }

 private:
  z_stream stream_{};
};

}  // namespace

struct GzipWriter::State {
  z_stream stream{};
  Sink sink;
  std::array<char, kOutputPiece> out{};
  std::size_t filled = 0;

  // Deflates all of the input zlib holds, handing full pieces to the sink;
  // with Z_FINISH, up to the member's end and then the last piece.
  std::expected<void, std::string> run(int flush) {
    for (;;) {
      stream.next_out = reinterpret_cast<Bytef*>(out.data() + filled);
      stream.avail_out = static_cast<uInt>(out.size() - filled);
      const int status = deflate(&stream, flush);
      filled = out.size() - stream.avail_out;
      if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
        return std::unexpected(zlib_failure(stream, status));
      }
      const bool done = flush == Z_FINISH ? status == Z_STREAM_END : stream.avail_in == 0 && filled < out.size();
      if (filled == out.size() || (done && flush == Z_FINISH && filled > 0)) {
        sink(std::string_view(out.data(), filled));
        filled = 0;
      }
      if (done) return {};
    }
  }
};

GzipWriter::GzipWriter(Sink sink) : state_(std::make_unique<State>()) {
  state_->sink = std::move(sink);
  // Only memory can fail here: the parameters are fixed and valid.
  if (deflateInit2(&state_->stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    throw std::bad_alloc();
  }
}

GzipWriter::GzipWriter(GzipWriter&&) noexcept = default;
GzipWriter& GzipWriter::operator=(GzipWriter&&) noexcept = default;

GzipWriter::~GzipWriter() {
  if (state_) deflateEnd(&state_->stream);
}

std::expected<void, std::string> GzipWriter::write(std::string_view plain) {
  z_stream& stream = state_->stream;
  while (!plain.empty()) {
    stream.next_in = input_bytes(plain.data());
    stream.avail_in = slice(plain.size());
    plain.remove_prefix(stream.avail_in);
    if (auto ran = state_->run(Z_NO_FLUSH); !ran) return ran;
  }
  return {};
}

std::expected<void, std::string> GzipWriter::finish() {
  state_->stream.avail_in = 0;
  return state_->run(Z_FINISH);
}

std::expected<std::string, std::string> gzip(std::string_view plain) {
  std::string out;
  GzipWriter writer([&out](std::string_view piece) { out.append(piece); });
  if (auto written = writer.write(plain); !written) return std::unexpected(std::move(written.error()));
  if (auto finished = writer.finish(); !finished) return std::unexpected(std::move(finished.error()));
  return out;
}

std::unique_ptr<Decompressor> detail::make_gzip_decompressor() { return std::make_unique<GzipDecompressor>(); }

}  // namespace kiroku
