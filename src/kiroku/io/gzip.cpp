#include "kiroku/io/gzip.h"

#include <zlib.h>

#include <algorithm>
#include <climits>  // UINT_MAX
#include <new>

namespace kiroku {
namespace {

// zlib's window bits plus 16: the gzip wrapper rather than the zlib one.
constexpr int kGzipWindowBits = 15 + 16;

std::string zlib_failure(const z_stream& stream, int status) {
  if (status == Z_MEM_ERROR) return "out of memory";
  if (stream.msg != nullptr) return stream.msg;
  return "corrupt data";
}

// zlib counts in uInt; longer buffers are handed over in slices.
uInt slice(std::size_t remaining) noexcept { return static_cast<uInt>(std::min<std::size_t>(remaining, UINT_MAX)); }

// zlib's API is not const-correct; it only reads its input.
Bytef* input_bytes(const char* data) noexcept { return reinterpret_cast<Bytef*>(const_cast<char*>(data)); }

// Owner of one deflate stream: End runs exactly when Init succeeded.
class DeflateStream {
 public:
  DeflateStream() noexcept
      : status_(deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY)) {}
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;
  ~DeflateStream() {
    if (status_ == Z_OK) deflateEnd(&stream_);
  }
  int init_status() const noexcept { return status_; }
  z_stream& get() noexcept { return stream_; }

 private:
  z_stream stream_{};
  int status_;
};

}  // namespace

bool has_gzip_magic(std::string_view bytes) noexcept {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
         static_cast<unsigned char>(bytes[1]) == 0x8b;
}

std::expected<std::string, std::string> gzip(std::string_view plain) {
  DeflateStream owner;
  z_stream& stream = owner.get();
  if (owner.init_status() != Z_OK) return std::unexpected(zlib_failure(stream, owner.init_status()));

  std::string out(deflateBound(&stream, plain.size()), '\0');
  std::size_t produced = 0;
  const Bytef* const end = input_bytes(plain.data()) + plain.size();
  stream.next_in = input_bytes(plain.data());
  stream.avail_in = 0;
  for (;;) {
    if (stream.avail_in == 0) stream.avail_in = slice(static_cast<std::size_t>(end - stream.next_in));
    const bool last_slice = static_cast<std::size_t>(end - stream.next_in) == stream.avail_in;
    if (produced == out.size()) out.resize(out.size() * 2 + 64);
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    stream.avail_out = slice(out.size() - produced);
    const uInt room = stream.avail_out;
    const int status = deflate(&stream, last_slice ? Z_FINISH : Z_NO_FLUSH);
    produced += room - stream.avail_out;
    if (status == Z_STREAM_END) break;
    if (status != Z_OK && status != Z_BUF_ERROR) return std::unexpected(zlib_failure(stream, status));
  }
  out.resize(produced);
  return out;
}

struct GzipInflater::State {
  z_stream stream{};
};

GzipInflater::GzipInflater() : state_(std::make_unique<State>()) {
  // Only memory can fail here: the parameters are fixed and valid.
  if (inflateInit2(&state_->stream, kGzipWindowBits) != Z_OK) throw std::bad_alloc();
}

GzipInflater::~GzipInflater() { inflateEnd(&state_->stream); }

std::expected<GzipInflater::Step, std::string> GzipInflater::inflate(std::string_view input, std::span<char> output) {
  z_stream& stream = state_->stream;
  stream.next_in = input_bytes(input.data());
  stream.avail_in = slice(input.size());
  stream.next_out = reinterpret_cast<Bytef*>(output.data());
  stream.avail_out = slice(output.size());
  const uInt offered_in = stream.avail_in;
  const uInt offered_out = stream.avail_out;
  const int status = ::inflate(&stream, Z_NO_FLUSH);
  const Step step{offered_in - stream.avail_in, offered_out - stream.avail_out, status == Z_STREAM_END};
  // Z_BUF_ERROR only says that no progress was possible; the caller sees
  // that in the step and brings more input or more room.
  if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
    return std::unexpected(zlib_failure(stream, status));
  }
  return step;
}

void GzipInflater::next_member() noexcept { inflateReset(&state_->stream); }

}  // namespace kiroku
