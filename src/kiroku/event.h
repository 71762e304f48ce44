// The mjai event model: one struct per kind, members in encoding order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kiroku/json_log.h"
#include "kiroku/tile.h"

namespace kiroku {

namespace event {

using Seat = std::uint8_t;

struct None {
  friend bool operator==(const None&, const None&) = default;
};
struct StartGame {
  std::array<std::string, kSeatCount> names;
  std::uint8_t kyoku_first = 0;
  bool aka_flag = false;
  friend bool operator==(const StartGame&, const StartGame&) = default;
};
struct StartKyoku {
  Tile bakaze;
  Tile dora_marker;
  std::uint8_t kyoku = 0;
  std::uint8_t honba = 0;
  std::uint8_t kyotaku = 0;
  std::uint8_t oya = 0;
  Scores scores{};
  std::array<StartingHand, kSeatCount> tehais;
  friend bool operator==(const StartKyoku&, const StartKyoku&) = default;
};
struct Tsumo {
  Seat actor = 0;
  Tile pai;
  friend bool operator==(const Tsumo&, const Tsumo&) = default;
};
struct Dahai {
  Seat actor = 0;
  Tile pai;
  bool tsumogiri = false;
  friend bool operator==(const Dahai&, const Dahai&) = default;
};
struct Chi {
  Seat actor = 0;
  Seat target = 0;
  Tile pai;
  std::array<Tile, 2> consumed;
  friend bool operator==(const Chi&, const Chi&) = default;
};
struct Pon {
  Seat actor = 0;
  Seat target = 0;
  Tile pai;
  std::array<Tile, 2> consumed;
  friend bool operator==(const Pon&, const Pon&) = default;
};
struct Daiminkan {
  Seat actor = 0;
  Seat target = 0;
  Tile pai;
  std::array<Tile, 3> consumed;
  friend bool operator==(const Daiminkan&, const Daiminkan&) = default;
};
struct Kakan {
  Seat actor = 0;
  Tile pai;
  std::array<Tile, 3> consumed;
  friend bool operator==(const Kakan&, const Kakan&) = default;
};
struct Ankan {
  Seat actor = 0;
  std::array<Tile, 4> consumed;
  friend bool operator==(const Ankan&, const Ankan&) = default;
};
struct Dora {
  Tile dora_marker;
  friend bool operator==(const Dora&, const Dora&) = default;
};
struct Reach {
  Seat actor = 0;
  friend bool operator==(const Reach&, const Reach&) = default;
};
struct ReachAccepted {
  Seat actor = 0;
  friend bool operator==(const ReachAccepted&, const ReachAccepted&) = default;
};
struct Hora {
  Seat actor = 0;
  Seat target = 0;
  std::optional<Scores> deltas;
  std::optional<std::vector<Tile>> ura_markers;
  friend bool operator==(const Hora&, const Hora&) = default;
};
struct Ryukyoku {
  std::optional<Scores> deltas;
  friend bool operator==(const Ryukyoku&, const Ryukyoku&) = default;
};
struct EndKyoku {
  friend bool operator==(const EndKyoku&, const EndKyoku&) = default;
};
struct EndGame {
  friend bool operator==(const EndGame&, const EndGame&) = default;
};

}  // namespace event

// One mjai event.  The alternatives stand in the order of the kinds, so
// index() is the kind's number.
using Event = std::variant<event::None, event::StartGame, event::StartKyoku, event::Tsumo, event::Dahai, event::Chi,
                           event::Pon, event::Daiminkan, event::Kakan, event::Ankan, event::Dora, event::Reach,
                           event::ReachAccepted, event::Hora, event::Ryukyoku, event::EndKyoku, event::EndGame>;

inline constexpr std::array<std::string_view, std::variant_size_v<Event>> kEventTypeNames = {
    "none",  "start_game", "start_kyoku", "tsumo",          "dahai", "chi",      "pon",       "daiminkan", "kakan",
    "ankan", "dora",       "reach",       "reach_accepted", "hora",  "ryukyoku", "end_kyoku", "end_game",
};

// The "type" string of an event: "tsumo", "reach_accepted", ...
inline std::string_view event_type_name(const Event& event) noexcept { return kEventTypeNames[event.index()]; }

}  // namespace kiroku
