// A link that opens a log in Tenhou's own viewer: "https://tenhou.net/6/#json="
// and the document, percent-encoded so that the URL's fragment holds it.
#pragma once

#include <string>
#include <string_view>

namespace kiroku {

// Bytes are kept as JavaScript's encodeURI keeps them (letters, digits and
// "-_.!~*'();/?:@&=+$,"), but for "#", which a fragment cannot hold; every
// other byte, each byte of a UTF-8 sequence included, becomes "%XX".
[[nodiscard]] std::string tenhou6_viewer_link(std::string_view document);

}  // namespace kiroku
