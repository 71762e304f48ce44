#include "cli/output_names.h"

#include <algorithm>
#include <utility>

#include "kiroku/io/quoted_text.h"

namespace kiroku::cli {
namespace {

// Enough of an id to tell which row it is; a hostile one can be megabytes.
constexpr std::size_t kShownIdBytes = 64;
constexpr std::size_t kYearDigits = 4;
constexpr std::size_t kMonthDigits = 2;

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

bool is_name_character(char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_digit(c) || c == '.' || c == '_' || c == '-';
}

std::string shown_id(std::string_view id) {
  if (id.size() <= kShownIdBytes) return "id " + quoted_text(id);
  return "id " + quoted_text(id.substr(0, kShownIdBytes)) + "...";
}

}  // namespace

std::expected<void, std::string> check_id_name(std::string_view id) {
  if (id.empty()) return std::unexpected(std::string("empty id"));
  if (id.size() > kMaxIdNameBytes) {
    return std::unexpected(shown_id(id) + " is " + std::to_string(id.size()) + " bytes long, more than " +
                           std::to_string(kMaxIdNameBytes));
  }
  if (id.front() == '.') return std::unexpected(shown_id(id) + " starts with '.'");
  if (!std::ranges::all_of(id, is_name_character)) {
    return std::unexpected(shown_id(id) + " has a character other than ASCII letters, digits, '.', '_' and '-'");
  }
  return {};
}

std::expected<std::filesystem::path, std::string> row_output_path(const std::filesystem::path& directory,
                                                                  std::string_view id, std::string_view suffix,
                                                                  bool by_month) {
  if (auto checked = check_id_name(id); !checked) return std::unexpected(std::move(checked.error()));
  std::string name(id);
  name += suffix;
  if (!by_month) return directory / name;
  const auto month = month_folder(id);
  if (!month) return std::unexpected(shown_id(id) + " does not start with a year and month (--by-month)");
  return directory / *month / name;
}

std::optional<std::string> month_folder(std::string_view id) {
  const std::string_view digits = id.substr(0, kYearDigits + kMonthDigits);
  if (digits.size() < kYearDigits + kMonthDigits || !std::ranges::all_of(digits, is_digit)) return std::nullopt;
  return std::string(digits.substr(0, kYearDigits)) + "/" + std::string(digits.substr(kYearDigits));
}

}  // namespace kiroku::cli
