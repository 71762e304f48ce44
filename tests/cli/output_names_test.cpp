#include "cli/output_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

namespace kiroku::cli {
namespace {

TEST(output_names_test, only_plain_names_of_at_most_200_bytes_are_taken) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"2019010100gm-00a9-0000-0123abcd", std::nullopt},
      {"A.b_c-9", std::nullopt},
      {std::string(200, 'a'), std::nullopt},
      {"", "empty id"},
      {std::string(201, 'a'), "id \"" + std::string(64, 'a') + "\"... is 201 bytes long, more than 200"},
      {".hidden", "id \".hidden\" starts with '.'"},
      {"..", "id \"..\" starts with '.'"},
      {"../x", "id \"../x\" starts with '.'"},
      {"a/b", "id \"a/b\" has a character other than ASCII letters, digits, '.', '_' and '-'"},
      {"a\x1b[2Jb", "id \"a\\u{1b}[2Jb\" has a character other than ASCII letters, digits, '.', '_' and '-'"},
      {"a\nb", "id \"a\\nb\" has a character other than ASCII letters, digits, '.', '_' and '-'"},
      {std::string("a\0b", 3), "id \"a\\0b\" has a character other than ASCII letters, digits, '.', '_' and '-'"},
      {"a b", "id \"a b\" has a character other than ASCII letters, digits, '.', '_' and '-'"},
      {"\xe5\xa4\xa9\xe9\xb3\xb3",
       "id \"\xe5\xa4\xa9\xe9\xb3\xb3\" has a character other than ASCII letters, digits, "
       "'.', '_' and '-'"},
  };
  for (const auto& [id, reason] : cases) {
    const auto checked = check_id_name(id);
    EXPECT_EQ(checked.has_value(), !reason) << id;
    if (!checked && reason) {
      EXPECT_EQ(checked.error(), *reason);
    }
  }
}

TEST(output_names_test, the_month_folder_needs_six_digits) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"2019010100gm-00a9-0000-0123abcd", "2019/01"},
      {"201912", "2019/12"},
      {"20191", std::nullopt},
      {"2019-01", std::nullopt},
      {"../../x", std::nullopt},
  };
  for (const auto& [id, folder] : cases) EXPECT_EQ(month_folder(id), folder) << id;
}

}  // namespace
}  // namespace kiroku::cli
