#include "cli/job_feed.h"

#include <utility>

#include "cli/output_names.h"

namespace kiroku::cli {
namespace {

// Stored logs waiting beyond this wait no more rows behind them.
constexpr std::size_t kMaxQueuedBytes = std::size_t{64} << 20;

}  // namespace

JobFeed::JobFeed(std::span<const Job> files, DatabaseReading reading, std::size_t ahead,
                 std::function<void(std::uint64_t)> counted)
    : files_(files), reading_(std::move(reading)), ahead_(ahead == 0 ? 1 : ahead), counted_(std::move(counted)) {
  if (reading_.databases.empty()) {
    reading_done_ = true;
  } else {
    reader_ = std::jthread([this] { read_all(); });
  }
}

JobFeed::~JobFeed() { close(); }

std::optional<JobFeed::Numbered> JobFeed::next() {
  std::unique_lock lock(mutex_);
  if (closed_) return std::nullopt;
  if (next_file_ < files_.size()) {
    const std::size_t index = next_file_++;
    return Numbered{index, files_[index]};
  }
  rows_ready_.wait(lock, [&] { return closed_ || reading_done_ || !rows_.empty(); });
  if (closed_ || rows_.empty()) return std::nullopt;
  Numbered row{files_.size() + rows_taken_++, std::move(rows_.front())};
  rows_.pop_front();
  if (row.job.row) queued_bytes_ -= row.job.row->bytes.size();
  if (rows_.size() <= ahead_ / 2) {
    refilling_ = true;
    room_.notify_one();  // no system call while the reading is not waiting
  }
  return row;
}

std::size_t JobFeed::files_taken() const {
  const std::lock_guard lock(mutex_);
  return next_file_;
}

void JobFeed::close() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
  }
  rows_ready_.notify_all();
  room_.notify_all();
}

bool JobFeed::push(Job job) {
  const std::size_t bytes = job.row ? job.row->bytes.size() : 0;
  std::unique_lock lock(mutex_);
  if (rows_.size() >= ahead_) refilling_ = false;
  room_.wait(lock,
             [&] { return closed_ || rows_.empty() || (refilling_ && queued_bytes_ + bytes <= kMaxQueuedBytes); });
  if (closed_) return false;
  queued_bytes_ += bytes;
  rows_.push_back(std::move(job));
  rows_ready_.notify_one();
  return true;
}

Job JobFeed::job_for_row(const LogSource& database, ArchiveRow row) const {
  Job job = file_job(database, std::nullopt);
  switch (row.skip) {
    case SkipReason::None: break;
    case SkipReason::NotDownloaded: job.skip = Skip::NotDownloaded; break;
    case SkipReason::ErrorRow: job.skip = Skip::ErrorRow; break;
    case SkipReason::ThreePlayer: job.skip = Skip::ThreePlayer; break;
    case SkipReason::TooLarge: job.refused = "read: " + std::string(skip_reason_text(SkipReason::TooLarge)); break;
  }
  if (!job.skip && !job.refused) {
    auto target = row_output_path(reading_.output_directory, row.id, reading_.suffix, reading_.by_month);
    if (target) {
      job.target = std::move(*target);
    } else {
      job.refused = "output: " + target.error();
    }
  }
  job.row = DatabaseRow{std::move(row.id), std::move(row.log)};
  return job;
}

// Every database is counted first, so that the progress bar has its total
// from the start; then their rows are read in turn.  Each is opened again
// to be read rather than kept open, so that a directory of thousands of
// databases holds one connection at a time.
void JobFeed::read_all() {
  const auto open = [&](const LogSource& database) {
    return reading_.sql ? ArchiveDatabase::open_query(database.path, *reading_.sql)
                        : ArchiveDatabase::open(database.path);
  };
  const auto failed = [&](const LogSource& database, std::string diagnostic) {
    counted_(1);
    Job job = file_job(database, std::nullopt);
    job.refused = std::move(diagnostic);
    return push(std::move(job));
  };
  for (const LogSource& source : reading_.databases) {
    auto database = open(source);
    if (!database) continue;  // reported when its turn to be read comes
    const auto rows = database->count_rows();
    counted_(rows ? *rows : 0);
  }
  for (const LogSource& source : reading_.databases) {
    auto database = open(source);
    if (!database) {
      if (!failed(source, std::move(database.error()))) break;
      continue;
    }
    bool going = true;
    for (;;) {
      auto row = database->next_row();
      if (!row) {
        going = failed(source, std::move(row.error()));
        break;
      }
      if (!*row) break;
      if (!push(job_for_row(source, std::move(**row)))) {
        going = false;
        break;
      }
    }
    if (!going) break;
  }
  {
    const std::lock_guard lock(mutex_);
    reading_done_ = true;
  }
  rows_ready_.notify_all();
}

}  // namespace kiroku::cli
