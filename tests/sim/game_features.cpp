#include "sim/game_features.h"

#include <string>
#include <string_view>
#include <variant>

namespace kiroku::sim {

namespace {

// The text of a string entry; empty for a tile or a number.
std::string_view notation_of(const ActionItem& item) {
  const auto* text = std::get_if<NotationText>(&item);
  return text != nullptr ? text->view() : std::string_view();
}

bool is_exhaustive_label(std::string_view label) {
  return label == "流局" || label == "全員聴牌" || label == "全員不聴";
}

// Without its one letter, call notation is a row of two-digit tile codes.
std::size_t red_fives_in(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  std::size_t n = 0;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    if (digits[i] == '5' && digits[i + 1] >= '1' && digits[i + 1] <= '3') ++n;
  }
  return n;
}

}  // namespace

GameFeatures& GameFeatures::operator+=(const GameFeatures& o) {
  hands += o.hands;
  chi += o.chi;
  pon += o.pon;
  daiminkan += o.daiminkan;
  kakan += o.kakan;
  ankan += o.ankan;
  riichi += o.riichi;
  tsumogiri += o.tsumogiri;
  ron += o.ron;
  double_ron += o.double_ron;
  robbed_kan += o.robbed_kan;
  tsumo += o.tsumo;
  exhaustive_draws += o.exhaustive_draws;
  abortive_draws += o.abortive_draws;
  four_riichi_draws += o.four_riichi_draws;
  red_fives_called += o.red_fives_called;
  return *this;
}

bool GameFeatures::covers_everyday_play() const {
  return chi > 0 && pon > 0 && daiminkan > 0 && kakan > 0 && ankan > 0 && riichi > 0 && ron > 0 && tsumo > 0 &&
         exhaustive_draws > 0;
}

std::string GameFeatures::summary() const {
  return std::to_string(hands) + " hands: chi " + std::to_string(chi) + ", pon " + std::to_string(pon) +
         ", daiminkan " + std::to_string(daiminkan) + ", kakan " + std::to_string(kakan) + ", ankan " +
         std::to_string(ankan) + ", riichi " + std::to_string(riichi) + ", tsumogiri " + std::to_string(tsumogiri) +
         ", ron " + std::to_string(ron) + " (double " + std::to_string(double_ron) + ", robbed kan " +
         std::to_string(robbed_kan) + "), tsumo " + std::to_string(tsumo) + ", exhaustive draws " +
         std::to_string(exhaustive_draws) + ", abortive draws " + std::to_string(abortive_draws) + " (four riichi " +
         std::to_string(four_riichi_draws) + "), red fives in melds " + std::to_string(red_fives_called);
}

GameFeatures count_features(const JsonLog& log) {
  GameFeatures f;
  for (const JsonHand& hand : log.log) {
    ++f.hands;
    for (const JsonSeat& seat : hand.seats) {
      for (const ActionItem& item : seat.takes) {
        const std::string_view text = notation_of(item);
        if (text.empty()) continue;
        if (text.find('c') != std::string_view::npos) {
          ++f.chi;
        } else if (text.find('p') != std::string_view::npos) {
          ++f.pon;
        } else if (text.find('m') != std::string_view::npos) {
          ++f.daiminkan;
        }
        f.red_fives_called += red_fives_in(text);
      }
      for (const ActionItem& item : seat.discards) {
        if (std::holds_alternative<std::uint8_t>(item)) ++f.tsumogiri;
        const std::string_view text = notation_of(item);
        if (text.empty()) continue;
        if (text.find('k') != std::string_view::npos) {
          ++f.kakan;
          f.red_fives_called += red_fives_in(text);
        } else if (text.find('a') != std::string_view::npos) {
          ++f.ankan;
          f.red_fives_called += red_fives_in(text);
        } else {
          ++f.riichi;
          if (text.substr(1) == "60") ++f.tsumogiri;
        }
      }
    }
    const auto* label = hand.result.empty() ? nullptr : std::get_if<std::string>(&hand.result[0]);
    if (label == nullptr) continue;
    if (*label != "和了") {
      ++(is_exhaustive_label(*label) ? f.exhaustive_draws : f.abortive_draws);
      if (*label == "四家立直") ++f.four_riichi_draws;
      continue;
    }
    std::size_t wins = 0;
    for (std::size_t i = 2; i < hand.result.size(); i += 2) {
      const auto* detail = std::get_if<std::vector<JsonValue>>(&hand.result[i]);
      if (detail == nullptr || detail->size() < 2) continue;
      const auto* winner = std::get_if<std::uint64_t>(&(*detail)[0].value);
      const auto* target = std::get_if<std::uint64_t>(&(*detail)[1].value);
      if (winner == nullptr || target == nullptr) continue;
      ++wins;
      if (*winner == *target) {
        ++f.tsumo;
        continue;
      }
      ++f.ron;
      const auto& discards = hand.seats[*target % 4].discards;
      const std::string_view last = discards.empty() ? std::string_view() : notation_of(discards.back());
      if (wins == 1 && last.find('k') != std::string_view::npos) ++f.robbed_kan;
    }
    if (wins >= 2) ++f.double_ron;
  }
  return f;
}

}  // namespace kiroku::sim
