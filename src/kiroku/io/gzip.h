// Gzip through zlib: the compression of the tool's output, piece by piece.
// (Its decompression is the gzip Decompressor of decompressor.h.)  No zlib
// type appears here: only gzip.cpp includes the library.
#pragma once

#include <expected>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kiroku {

// Compresses a text handed over in pieces into one gzip member at zlib's
// default level, and hands the compressed bytes to the sink as they come, so
// that neither form of a large output is ever held whole.  The header holds
// no name and no time, so equal text gives equal bytes however it was cut.
class GzipWriter {
 public:
  // Receives each run of compressed bytes; the view is valid only during the
  // call.  A sink that cannot take them (a failed write) keeps its own
  // failure for the caller to see after write() or finish() returns.
  using Sink = std::function<void(std::string_view)>;

  // Throws std::bad_alloc when zlib cannot get its state.
  explicit GzipWriter(Sink sink);
  GzipWriter(GzipWriter&&) noexcept;
  GzipWriter& operator=(GzipWriter&&) noexcept;
  ~GzipWriter();

  // The error of both is zlib's reason, which only a broken state gives.
  // Neither may be called after finish().
  [[nodiscard]] std::expected<void, std::string> write(std::string_view plain);
  // Ends the member: every byte is with the sink once this returns.
  [[nodiscard]] std::expected<void, std::string> finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// One gzip member holding `plain`, as GzipWriter makes it.
[[nodiscard]] std::expected<std::string, std::string> gzip(std::string_view plain);

}  // namespace kiroku
