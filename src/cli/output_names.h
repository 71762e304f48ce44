// Output names for logs read out of a database, made from each row's id:
// whether the id can be a file name as it is, and the month folder that
// --by-month puts it in.
#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kiroku::cli {

inline constexpr std::size_t kMaxIdNameBytes = 200;

// Succeeds when `id` can name a file in the output directory with nothing
// added or lost: ASCII letters, digits, '.', '_' and '-' only, not empty,
// not starting with '.' (no "..", no hidden file) and at most 200 bytes.
// Otherwise the reason, one line with the id quoted (at most its first 64
// bytes): 'id "a/b" has a character other than ASCII letters, digits, '.',
// '_' and '-''.
[[nodiscard]] std::expected<void, std::string> check_id_name(std::string_view id);

// "2019/01" for an id starting "201901"; none when its first six bytes are
// not all digits.
std::optional<std::string> month_folder(std::string_view id);

// Where a row's output goes: `directory`/ID`suffix`, or with `by_month`
// `directory`/YYYY/MM/ID`suffix`.  The id's failure of check_id_name, or
// for `by_month` 'id "x" does not start with a year and month (--by-month)'.
[[nodiscard]] std::expected<std::filesystem::path, std::string> row_output_path(const std::filesystem::path& directory,
                                                                                std::string_view id,
                                                                                std::string_view suffix, bool by_month);

}  // namespace kiroku::cli
