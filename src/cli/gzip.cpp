#include "cli/gzip.h"

#include <zlib.h>

#include <algorithm>
#include <climits>  // UINT_MAX

namespace kiroku::cli {
namespace {

// zlib's window bits plus 16: the gzip wrapper rather than the zlib one.
constexpr int kGzipWindowBits = 15 + 16;

std::string zlib_failure(const z_stream& stream, int status) {
  if (stream.msg != nullptr) return std::string("gzip: ") + stream.msg;
  if (status == Z_MEM_ERROR) return "gzip: out of memory";
  return "gzip: corrupt data";
}

// Owners of one zlib stream each: End runs exactly when Init succeeded.
class InflateStream {
 public:
  InflateStream() noexcept : status_(inflateInit2(&stream_, kGzipWindowBits)) {}
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  ~InflateStream() {
    if (status_ == Z_OK) inflateEnd(&stream_);
  }
  int init_status() const noexcept { return status_; }
  z_stream& get() noexcept { return stream_; }

 private:
  z_stream stream_{};
  int status_;
};

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

// zlib counts in uInt; longer buffers are handed over in slices.
uInt slice(std::size_t remaining) noexcept { return static_cast<uInt>(std::min<std::size_t>(remaining, UINT_MAX)); }

}  // namespace

bool has_gzip_magic(std::string_view bytes) noexcept {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
         static_cast<unsigned char>(bytes[1]) == 0x8b;
}

std::expected<std::string, std::string> gunzip(std::string_view compressed, std::size_t limit) {
  InflateStream owner;
  z_stream& stream = owner.get();
  if (owner.init_status() != Z_OK) return std::unexpected(zlib_failure(stream, owner.init_status()));

  const auto* const begin = reinterpret_cast<const Bytef*>(compressed.data());
  const Bytef* const end = begin + compressed.size();
  // Text compresses four to ten times; start near the expected size.
  std::string out(std::min<std::size_t>(std::max<std::size_t>(compressed.size() * 8, 4096), limit), '\0');
  std::size_t produced = 0;
  stream.next_in = const_cast<Bytef*>(begin);  // zlib's API is not const-correct; it only reads
  stream.avail_in = 0;
  for (;;) {
    if (stream.avail_in == 0) stream.avail_in = slice(static_cast<std::size_t>(end - stream.next_in));
    if (produced == out.size()) {
      if (out.size() >= limit) {
        return std::unexpected("gzip: content larger than " + std::to_string(limit >> 20) + " MiB");
      }
      out.resize(std::min(out.size() * 2, limit));
    }
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    stream.avail_out = slice(out.size() - produced);
    const uInt room = stream.avail_out;
    const int status = inflate(&stream, Z_NO_FLUSH);
    produced += room - stream.avail_out;

    if (status == Z_STREAM_END) {
      const std::string_view rest(reinterpret_cast<const char*>(stream.next_in),
                                  static_cast<std::size_t>(end - stream.next_in));
      if (rest.empty()) break;
      if (!has_gzip_magic(rest))
        return std::unexpected(std::string("gzip: unexpected data after the compressed stream"));
      inflateReset(&stream);  // the next member
      stream.avail_in = 0;
      continue;
    }
    if (status == Z_BUF_ERROR && stream.next_in == end)
      return std::unexpected(std::string("gzip: unexpected end of file"));
    if (status != Z_OK && status != Z_BUF_ERROR) return std::unexpected(zlib_failure(stream, status));
  }
  out.resize(produced);
  return out;
}

std::expected<std::string, std::string> gzip(std::string_view plain) {
  DeflateStream owner;
  z_stream& stream = owner.get();
  if (owner.init_status() != Z_OK) return std::unexpected(zlib_failure(stream, owner.init_status()));

  std::string out(deflateBound(&stream, plain.size()), '\0');
  std::size_t produced = 0;
  const auto* const begin = reinterpret_cast<const Bytef*>(plain.data());
  const Bytef* const end = begin + plain.size();
  stream.next_in = const_cast<Bytef*>(begin);
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

}  // namespace kiroku::cli
