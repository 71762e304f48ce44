// The run's jobs in order: the log files first, then the rows of each log
// database as a thread of their own reads them, a bounded number ahead of
// the workers, so that a database of any size takes the same memory.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "cli/archive_database.h"
#include "cli/job.h"

namespace kiroku::cli {

struct DatabaseReading {
  std::vector<LogSource> databases;
  std::optional<std::string> sql;  // --sql, for every database; none: the layout is recognised
  std::filesystem::path output_directory;
  std::string suffix;
  bool by_month = false;
};

class JobFeed {
 public:
  struct Numbered {
    std::size_t index;  // the job's place in the run's order
    Job job;
  };

  // Starts reading the databases at once.  `counted` is called from the
  // reading thread with the rows each database has (for a progress total),
  // and with 1 for each database that fails as a whole.  At most `ahead`
  // rows, and about 64 MiB of stored logs, wait for the workers; once full,
  // the reading waits until half of them are taken, so that it wakes once
  // for several rows rather than for each.
  JobFeed(std::span<const Job> files, DatabaseReading reading, std::size_t ahead,
          std::function<void(std::uint64_t)> counted);
  JobFeed(const JobFeed&) = delete;
  JobFeed& operator=(const JobFeed&) = delete;
  ~JobFeed();  // stops the reading and waits for it

  // The next job, for any worker; none after the last, or once closed.
  std::optional<Numbered> next();

  // The files handed out so far: those past them were never started.
  std::size_t files_taken() const;

  // No more jobs are wanted (the run stops): the reading ends soon after.
  void close();

 private:
  void read_all();
  // Waits for room; false once closed.
  bool push(Job job);
  Job job_for_row(const LogSource& database, ArchiveRow row) const;

  std::span<const Job> files_;
  DatabaseReading reading_;
  std::size_t ahead_;
  std::function<void(std::uint64_t)> counted_;

  mutable std::mutex mutex_;
  std::condition_variable rows_ready_;  // workers wait on it
  std::condition_variable room_;        // the reading waits on it
  std::size_t next_file_ = 0;
  std::size_t rows_taken_ = 0;
  std::deque<Job> rows_;
  std::size_t queued_bytes_ = 0;
  bool refilling_ = true;  // false from a full queue until half of it is taken
  bool reading_done_ = false;
  bool closed_ = false;
  std::jthread reader_;  // last: started once the rest is ready, joined first
};

}  // namespace kiroku::cli
