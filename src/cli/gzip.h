// Gzip framing through zlib, a whole buffer at a time (logs are small enough
// to hold in memory, and the converter needs the whole text anyway).
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

namespace kiroku::cli {

// Whether the bytes start with the gzip magic number 1f 8b.
bool has_gzip_magic(std::string_view bytes) noexcept;

// The content of a gzip file: one member or several concatenated ones, as
// gzip itself writes them.  Fails on corrupt or truncated data, on anything
// after the last member, and when the content would exceed `limit` bytes.
// The error is one line for people ("gzip: invalid block type").
[[nodiscard]] std::expected<std::string, std::string> gunzip(std::string_view compressed, std::size_t limit);

// One gzip member holding `plain`, at zlib's default level.  The header holds
// no name and no time, so equal input gives equal bytes.
[[nodiscard]] std::expected<std::string, std::string> gzip(std::string_view plain);

}  // namespace kiroku::cli
