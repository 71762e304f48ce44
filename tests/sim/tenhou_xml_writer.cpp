#include "sim/tenhou_xml_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <utility>
#include <variant>
#include <vector>

#include "sim/log_notation.h"
#include "sim/sim_tiles.h"

#include "kiroku/tile_id.h"

namespace kiroku::sim {

namespace {

using Id = std::uint8_t;

constexpr std::string_view kDrawTags = "TUVW";
constexpr std::string_view kDiscardTags = "DEFG";

// The ids of a tile: its kind's four copies, where a red five is copy 0 of
// its five and the plain fives are the other three.
std::vector<Id> ids_of(Tile tile) {
  const auto first = static_cast<Id>(kind_of(tile) * 4);
  const bool five = kind_of(tile) < 27 && kind_of(tile) % 9 == 4;
  if (is_red(tile)) return {first};
  if (five) return {static_cast<Id>(first + 1), static_cast<Id>(first + 2), static_cast<Id>(first + 3)};
  return {first, static_cast<Id>(first + 1), static_cast<Id>(first + 2), static_cast<Id>(first + 3)};
}

std::string url_encoded(std::string_view text) {
  std::string out;
  for (const char c : text) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%%%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
    out += byte;
  }
  return out;
}

std::string joined(std::span<const std::int32_t> numbers) {
  std::string out;
  for (const std::int32_t n : numbers) out += (out.empty() ? "" : ",") + std::to_string(n);
  return out;
}

class HandWriterXml {
 public:
  HandWriterXml(const JsonHand& entry, std::string& out) : entry_(entry), out_(out) {
    // Indicators come from the dead wall: their copies are spoken for first.
    for (const Tile t : entry.dora_indicators) dora_ids_.push_back(take(t));
    for (const Tile t : entry.ura_indicators) ura_ids_.push_back(take(t));
  }

  void write(std::span<const Event> events) {
    for (std::size_t i = 0; i < events.size(); ++i) {
      const Event& e = events[i];
      const bool last_before_result = i + 1 < events.size() && (std::holds_alternative<event::Hora>(events[i + 1]) ||
                                                                std::holds_alternative<event::Ryukyoku>(events[i + 1]));
      std::visit([&](const auto& ev) { on(ev, last_before_result); }, e);
    }
  }

 private:
  Id take(Tile tile) {
    std::vector<Id>& free = free_[tile.index()];
    if (!initialised_[tile.index()]) {
      free = ids_of(tile);
      std::reverse(free.begin(), free.end());
      initialised_[tile.index()] = true;
    }
    if (free.empty()) throw std::logic_error("the simulator used a fifth copy of " + std::string(tile_name(tile)));
    const Id id = free.back();
    free.pop_back();
    return id;
  }
  Id give_up(std::size_t seat, Tile tile, std::optional<Id> avoid = std::nullopt) {
    std::vector<Id>& held = held_[seat];
    for (auto it = held.begin(); it != held.end(); ++it) {
      if (tile_of_id(*it, true) == tile && (!avoid || *it != *avoid)) {
        const Id id = *it;
        held.erase(it);
        return id;
      }
    }
    throw std::logic_error("seat " + std::to_string(seat) + " does not hold " + std::string(tile_name(tile)));
  }
  void element(const std::string& text) { out_ += "<" + text + "/>"; }
  void reveal_dora() {
    if (dora_cursor_ < dora_ids_.size()) element("DORA hai=\"" + std::to_string(dora_ids_[dora_cursor_++]) + "\"");
  }
  void write_scores(std::string_view name, const Scores& deltas) {
    out_ += " " + std::string(name) + "=\"";
    for (std::size_t s = 0; s < 4; ++s) {
      out_ += (s == 0 ? "" : ",") + std::to_string((scores_[s] - 1000 * sticks_[s]) / 100) + "," +
              std::to_string(deltas[s] / 100);
    }
    out_ += "\"";
  }

  void on(const event::StartKyoku& e, bool) {
    scores_ = e.scores;
    const int round = (e.bakaze.index() - 27) * 4 + e.kyoku - 1;
    out_ += "<INIT seed=\"" + std::to_string(round) + "," + std::to_string(e.honba) + "," + std::to_string(e.kyotaku) +
            ",2,4," + std::to_string(dora_ids_.at(0)) + "\" ten=\"";
    std::array<std::int32_t, 4> hundreds{};
    for (std::size_t s = 0; s < 4; ++s) hundreds[s] = e.scores[s] / 100;
    out_ += joined(hundreds) + "\" oya=\"" + std::to_string(e.oya) + "\"";
    ++dora_cursor_;
    for (std::size_t s = 0; s < 4; ++s) {
      std::vector<Id> hand;
      for (const Tile t : e.tehais[s]) hand.push_back(take(t));
      held_[s] = hand;
      // Tenhou deals in no particular order; the reader must sort.
      std::rotate(hand.begin(), hand.begin() + static_cast<std::ptrdiff_t>(5 + s), hand.end());
      std::string list;
      for (const Id id : hand) list += (list.empty() ? "" : ",") + std::to_string(id);
      out_ += " hai" + std::to_string(s) + "=\"" + list + "\"";
    }
    out_ += "/>";
  }
  void on(const event::Tsumo& e, bool last_before_result) {
    const Id id = take(e.pai);
    held_[e.actor].push_back(id);
    last_draw_[e.actor] = id;
    element(std::string(1, kDrawTags[e.actor]) + std::to_string(id));
    // An open kan's indicator shows after its replacement draw, unless that
    // draw wins.
    if (std::exchange(open_kan_drawing_, false) && !last_before_result) reveal_dora();
  }
  void on(const event::Dahai& e, bool) {
    Id id = 0;
    if (e.tsumogiri) {
      if (!last_draw_[e.actor]) throw std::logic_error("tsumogiri with no tile just drawn");
      id = *last_draw_[e.actor];
      std::vector<Id>& held = held_[e.actor];
      held.erase(std::find(held.begin(), held.end(), id));
    } else {
      id = give_up(e.actor, e.pai, last_draw_[e.actor]);
    }
    last_draw_[e.actor].reset();
    last_discard_ = id;
    element(std::string(1, kDiscardTags[e.actor]) + std::to_string(id));
  }
  void on(const event::Reach& e, bool) { element("REACH who=\"" + std::to_string(e.actor) + "\" step=\"1\""); }
  void on(const event::ReachAccepted& e, bool) {
    ++sticks_[e.actor];
    element("REACH who=\"" + std::to_string(e.actor) + "\" step=\"2\"");
  }
  void write_call(std::size_t seat, unsigned code) {
    element("N who=\"" + std::to_string(seat) + "\" m=\"" + std::to_string(code) + "\"");
    last_draw_[seat].reset();
  }
  void on(const event::Chi& e, bool) {
    std::array<Id, 3> ids = {last_discard_, give_up(e.actor, e.consumed[0]), give_up(e.actor, e.consumed[1])};
    const Id claimed = ids[0];
    std::sort(ids.begin(), ids.end());
    const unsigned kind = ids[0] / 4;
    const unsigned start = kind / 9 * 7 + kind % 9;
    const auto r = static_cast<unsigned>(std::find(ids.begin(), ids.end(), claimed) - ids.begin());
    write_call(e.actor, (start * 3 + r) << 10 | (ids[0] % 4U) << 3 | (ids[1] % 4U) << 5 | (ids[2] % 4U) << 7 | 0x4U |
                            static_cast<unsigned>(relative_seat(e.actor, e.target)));
  }
  void on(const event::Pon& e, bool) {
    std::array<Id, 3> ids = {last_discard_, give_up(e.actor, e.consumed[0]), give_up(e.actor, e.consumed[1])};
    const Id claimed = ids[0];
    std::sort(ids.begin(), ids.end());
    const unsigned kind = ids[0] / 4;
    unsigned left_out = 0;
    while (std::find(ids.begin(), ids.end(), static_cast<Id>(kind * 4 + left_out)) != ids.end()) ++left_out;
    const auto r = static_cast<unsigned>(std::find(ids.begin(), ids.end(), claimed) - ids.begin());
    const unsigned code = (kind * 3 + r) << 9 | left_out << 5 | static_cast<unsigned>(relative_seat(e.actor, e.target));
    pons_[{e.actor, kind}] = code;
    write_call(e.actor, code | 0x8U);
  }
  void on(const event::Daiminkan& e, bool) {
    for (const Tile t : e.consumed) give_up(e.actor, t);
    write_call(e.actor,
               static_cast<unsigned>(last_discard_) << 8 | static_cast<unsigned>(relative_seat(e.actor, e.target)));
    open_kan_drawing_ = true;
  }
  void on(const event::Kakan& e, bool) {
    give_up(e.actor, e.pai);
    write_call(e.actor, pons_.at({e.actor, kind_of(e.pai)}) | 0x10U);
    open_kan_drawing_ = true;
  }
  void on(const event::Ankan& e, bool) {
    Id first = 0;
    for (const Tile t : e.consumed) first = give_up(e.actor, t);
    write_call(e.actor, static_cast<unsigned>(first) << 8);
    reveal_dora();
  }
  void on(const event::Hora& e, bool) {
    while (dora_cursor_ < dora_ids_.size()) reveal_dora();
    out_ += "<AGARI ba=\"0,0\" hai=\"\" machi=\"0\" ten=\"30,1000,0\" yaku=\"1,1\" doraHai=\"" +
            std::to_string(dora_ids_.at(0)) + "\" who=\"" + std::to_string(e.actor) + "\" fromWho=\"" +
            std::to_string(e.target) + "\"";
    write_scores("sc", e.deltas.value_or(Scores{}));
    // Ura indicators show for a winner in riichi; here for the first winner.
    if (!ura_ids_.empty() && !ura_written_) {
      std::string list;
      for (const Id id : ura_ids_) list += (list.empty() ? "" : ",") + std::to_string(id);
      out_ += " doraHaiUra=\"" + list + "\"";
      ura_written_ = true;
    }
    out_ += "/>";
  }
  void on(const event::Ryukyoku& e, bool) {
    while (dora_cursor_ < dora_ids_.size()) reveal_dora();
    static const std::map<std::string, std::string> kTypes = {
        {"九種九牌", "yao9"}, {"四家立直", "reach4"}, {"三家和了", "ron3"},
        {"四槓散了", "kan4"}, {"四風連打", "kaze4"},  {"流し満貫", "nm"},
    };
    out_ += "<RYUUKYOKU ba=\"0,0\"";
    const auto* label = entry_.result.empty() ? nullptr : std::get_if<std::string>(&entry_.result.front());
    if (label != nullptr) {
      if (const auto it = kTypes.find(*label); it != kTypes.end()) out_ += " type=\"" + it->second + "\"";
    }
    write_scores("sc", e.deltas.value_or(Scores{}));
    out_ += "/>";
  }
  template <typename Other>
  void on(const Other&, bool) {}

  const JsonHand& entry_;
  std::string& out_;
  std::array<std::vector<Id>, Tile::kCount> free_{};
  std::array<bool, Tile::kCount> initialised_{};
  std::array<std::vector<Id>, 4> held_{};
  std::array<std::optional<Id>, 4> last_draw_{};
  std::map<std::pair<std::size_t, unsigned>, unsigned> pons_;  // (seat, kind) -> the pon's code
  std::vector<Id> dora_ids_;
  std::vector<Id> ura_ids_;
  std::size_t dora_cursor_ = 0;
  bool open_kan_drawing_ = false;
  bool ura_written_ = false;
  Id last_discard_ = 0;
  Scores scores_{};
  std::array<std::int32_t, 4> sticks_{};
};

}  // namespace

std::string write_tenhou_xml(const JsonLog& log, std::span<const Event> events, std::uint16_t game_type_extra) {
  const bool east_only = log.rule.disp.find("東") != std::string::npos;
  const unsigned type = (east_only ? 0xA1U : 0xA9U) | game_type_extra;
  std::string out = "<mjloggm ver=\"2.3\"><SHUFFLE seed=\"mt19937ar-sha512-n288-base64,c2lt\" ref=\"\"/>";
  out += "<GO type=\"" + std::to_string(type) + "\" lobby=\"0\"/><UN";
  for (std::size_t s = 0; s < 4; ++s) out += " n" + std::to_string(s) + "=\"" + url_encoded(log.name[s]) + "\"";
  out += " dan=\"16,16,16,16\" rate=\"2000.00,2000.00,2000.00,2000.00\" sx=\"M,M,M,M\"/><TAIKYOKU oya=\"0\"/>";
  std::size_t hand = 0;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (std::holds_alternative<event::StartKyoku>(events[i])) begin = i;
    if (!std::holds_alternative<event::EndKyoku>(events[i])) continue;
    HandWriterXml(log.log.at(hand++), out).write(events.subspan(begin, i - begin));
  }
  out += "</mjloggm>";
  return out;
}

}  // namespace kiroku::sim
