// UTF-8 checks and lossy decoding, shared by the call-notation reader and by
// the front ends that show file paths.
#pragma once

#include <string>
#include <string_view>

namespace kiroku {

// Whether the bytes are valid UTF-8 as a whole (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool is_valid_utf8(std::string_view bytes) noexcept;

// The bytes read as UTF-8 with every maximal invalid subsequence replaced by
// one U+FFFD, the usual "lossy" decoding: "1\xFF" gives "1\uFFFD", and a
// three-byte sequence cut after two bytes gives a single U+FFFD.
std::string decode_utf8_lossy(std::string_view bytes);

// Length of the valid UTF-8 sequence starting at bytes[0], or 0 when it is
// invalid; then `invalid_length` receives how many bytes form the maximal
// invalid subpart (at least 1).  Precondition: !bytes.empty().
std::size_t utf8_sequence_length(std::string_view bytes, std::size_t& invalid_length) noexcept;

}  // namespace kiroku
