#include "sim/tenhou_log_writer.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <type_traits>
#include <variant>

#include "kiroku/tile_code.h"

namespace kiroku::sim {

namespace {

class Writer {
 public:
  explicit Writer(LogLayout layout) : pretty_(layout == LogLayout::Pretty) {}

  std::string write(const JsonLog& log) {
    out_ += "{";
    open_member("ver", 1);
    out_ += "2.3";
    open_member("log", 1);
    out_ += "[";
    for (std::size_t i = 0; i < log.log.size(); ++i) {
      if (i > 0) out_ += ",";
      newline(2);
      hand(log.log[i]);
    }
    newline(1);
    out_ += "]";
    if (log.ratingc) {
      open_member("ratingc", 1);
      string(*log.ratingc);
    }
    open_member("rule", 1);
    rule(log.rule);
    if (log.lobby) {
      open_member("lobby", 1);
      out_ += std::to_string(*log.lobby);
    }
    if (log.dan) {
      open_member("dan", 1);
      list(*log.dan, [&](const std::string& s) { string(s); });
    }
    if (log.rate) {
      open_member("rate", 1);
      list(*log.rate, [&](double d) { number(d); });
    }
    if (log.sx) {
      open_member("sx", 1);
      list(*log.sx, [&](const std::string& s) { string(s); });
    }
    open_member("name", 1);
    list(log.name, [&](const std::string& s) { string(s); });
    newline(0);
    out_ += "}";
    if (pretty_) out_ += "\n";
    return std::move(out_);
  }

 private:
  void newline(int depth) {
    if (!pretty_) return;
    out_ += "\n";
    out_.append(static_cast<std::size_t>(depth) * 4, ' ');
  }

  void open_member(std::string_view key, int depth) {
    if (first_member_) {
      first_member_ = false;
    } else {
      out_ += ",";
    }
    newline(depth);
    string(key);
    out_ += pretty_ ? ": " : ":";
  }

  void separator() { out_ += pretty_ ? ", " : ","; }

  template <class Range, class Each>
  void list(const Range& items, Each each) {
    out_ += "[";
    bool first = true;
    for (const auto& item : items) {
      if (!first) separator();
      first = false;
      each(item);
    }
    out_ += "]";
  }

  void string(std::string_view text) {
    out_ += '"';
    for (char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += c;
      } else if (byte < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", byte);
        out_ += escape;
      } else {
        out_ += c;
      }
    }
    out_ += '"';
  }

  void number(double value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.append(buffer, end);
  }

  void tile(Tile t) { out_ += std::to_string(tile_code(t)); }

  void item(const ActionItem& entry) {
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, Tile>) {
            tile(v);
          } else if constexpr (std::is_same_v<T, std::uint8_t>) {
            out_ += std::to_string(v);
          } else {
            string(v.view());
          }
        },
        entry);
  }

  void json(const JsonValue& value) {
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, JsonNull>) {
            out_ += "null";
          } else if constexpr (std::is_same_v<T, bool>) {
            out_ += v ? "true" : "false";
          } else if constexpr (std::is_same_v<T, std::uint64_t> || std::is_same_v<T, std::int64_t>) {
            out_ += std::to_string(v);
          } else if constexpr (std::is_same_v<T, double>) {
            number(v);
          } else if constexpr (std::is_same_v<T, std::string>) {
            string(v);
          } else if constexpr (std::is_same_v<T, JsonValue::Array>) {
            list(v, [&](const JsonValue& element) { json(element); });
          } else {
            out_ += "{";
            bool first = true;
            for (const JsonMember& member : v) {
              if (!first) separator();
              first = false;
              string(member.key);
              out_ += ":";
              json(member.value);
            }
            out_ += "}";
          }
        },
        value.value);
  }

  void result_item(const ResultItem& entry) {
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::string>) {
            string(v);
          } else if constexpr (std::is_same_v<T, Scores>) {
            list(v, [&](std::int32_t d) { out_ += std::to_string(d); });
          } else {
            list(v, [&](const JsonValue& element) { json(element); });
          }
        },
        entry);
  }

  void rule(const Rule& r) {
    out_ += "{";
    string("disp");
    out_ += ":";
    string(r.disp);
    const std::pair<std::string_view, std::uint8_t> counts[] = {
        {"aka", r.aka}, {"aka51", r.aka51}, {"aka52", r.aka52}, {"aka53", r.aka53}};
    for (const auto& [key, count] : counts) {
      if (count == 0) continue;
      out_ += ",";
      string(key);
      out_ += ":";
      out_ += std::to_string(count);
    }
    out_ += "}";
  }

  void hand(const JsonHand& h) {
    out_ += "[";
    newline(3);
    const std::array<int, 3> id = {h.id.hand_index, h.id.honba, h.id.deposits};
    list(id, [&](int n) { out_ += std::to_string(n); });
    separator();
    list(h.scores, [&](std::int32_t s) { out_ += std::to_string(s); });
    out_ += ",";
    newline(3);
    list(h.dora_indicators, [&](Tile t) { tile(t); });
    separator();
    list(h.ura_indicators, [&](Tile t) { tile(t); });
    for (const JsonSeat& seat : h.seats) {
      out_ += ",";
      newline(3);
      list(seat.hand, [&](Tile t) { tile(t); });
      out_ += ",";
      newline(3);
      list(seat.takes, [&](const ActionItem& a) { item(a); });
      out_ += ",";
      newline(3);
      list(seat.discards, [&](const ActionItem& a) { item(a); });
    }
    out_ += ",";
    newline(3);
    list(h.result, [&](const ResultItem& r) { result_item(r); });
    newline(2);
    out_ += "]";
  }

  bool pretty_;
  bool first_member_ = true;
  std::string out_;
};

}  // namespace

std::string write_tenhou_log(const JsonLog& log, LogLayout layout) { return Writer(layout).write(log); }

}  // namespace kiroku::sim
