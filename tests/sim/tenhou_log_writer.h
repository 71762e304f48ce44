// JsonLog -> Tenhou v6 JSON text, in the object form Tenhou's own export uses.
#pragma once

#include <string>

#include "kiroku/json_log.h"

namespace kiroku::sim {

enum class LogLayout {
  Compact,  // one line, as tenhou.net exports it
  Pretty,   // one line per list of a hand entry, as people store logs
};

// Writes every field the record holds (the optional ones only when present)
// plus a "ver" member that readers skip.
std::string write_tenhou_log(const JsonLog& log, LogLayout layout = LogLayout::Compact);

}  // namespace kiroku::sim
