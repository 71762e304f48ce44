#include "cli/job.h"

#include "cli/archive_database.h"

namespace kiroku::cli {

std::string_view skip_text(Skip skip) noexcept {
  switch (skip) {
    case Skip::NotStarted: return "not started";
    case Skip::NotDownloaded: return skip_reason_text(SkipReason::NotDownloaded);
    case Skip::ErrorRow: return skip_reason_text(SkipReason::ErrorRow);
    case Skip::ThreePlayer: return skip_reason_text(SkipReason::ThreePlayer);
    case Skip::OutputExists: return "output exists";
  }
  return "skipped";
}

std::string job_name(const Job& job) {
  std::string name = source_name(job.source);
  if (job.row) name += ':' + job.row->id;
  return name;
}

}  // namespace kiroku::cli
