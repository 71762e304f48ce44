// Log documents as JSON text, for the reader's tests.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kiroku {

// A full, valid hand entry; `replaced` swaps in other JSON text at the
// given positions (0..16).
inline std::string hand_entry(const std::map<int, std::string>& replaced = {}) {
  const std::string hand = "[11,12,13,14,15,16,17,18,19,21,22,23,24]";
  std::vector<std::string> positions = {
      "[0,0,0]",
      "[25000,25000,25000,25000]",
      "[11]",
      "[]",  //
      hand,
      "[]",
      "[]",  //
      hand,
      "[]",
      "[]",  //
      hand,
      "[]",
      "[]",  //
      hand,
      "[]",
      "[]",  //
      R"(["流局",[0,0,0,0]])",
  };
  for (const auto& [position, text] : replaced) positions.at(static_cast<std::size_t>(position)) = text;
  std::string out = "[";
  for (std::size_t i = 0; i < positions.size(); ++i) out += (i == 0 ? "" : ",") + positions[i];
  return out + "]";
}

}  // namespace kiroku
