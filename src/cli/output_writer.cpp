#include "cli/output_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <utility>
#include <variant>

#include "cli/display.h"
#include "cli/errno_text.h"
#include "cli/file_replacement.h"
#include "cli/spool.h"
#include "cli/stream_output.h"
#include "kiroku/io/gzip.h"

namespace kiroku::cli {
namespace fs = std::filesystem;
namespace {

using Target = std::optional<fs::path>;
using Destination = std::variant<FileReplacement, StreamOutput>;

constexpr std::size_t kWriteSize = std::size_t{64} << 10;

WriteFailure target_failure(const Target& target, int error) {
  if (!target) return {"write: standard output: " + errno_text(error), error == EPIPE};
  return {"write: " + shown(target->native()) + ": " + errno_text(error)};
}

std::expected<Destination, int> destination_for(const Target& target) {
  if (!target) return StreamOutput();
  auto place = locate(*target);
  if (!place) return std::unexpected(place.error());
  if (place->status && S_ISDIR(place->status->st_mode)) return std::unexpected(EISDIR);
  if (place->status && !S_ISREG(place->status->st_mode)) return StreamOutput(std::move(*place));
  auto replacement = FileReplacement::begin(std::move(*place));
  if (!replacement) return std::unexpected(replacement.error());
  return std::move(*replacement);
}

}  // namespace

struct OutputWriter::State {
  Target target;
  int cancel_fd;
  Destination destination;
  std::optional<GzipWriter> gzip;
  std::optional<WriteFailure> failure;  // the first
  // Hands' pieces gathered into writes of at most kWriteSize (room for
  // which is taken once): a game's hands are each a few kilobytes, and a
  // system call for each costs more than the copy.
  std::string pending;

  void fail(WriteFailure failed) {
    if (!failure) failure = std::move(failed);
  }

  void put(std::string_view bytes) {
    if (pending.size() + bytes.size() > kWriteSize) flush();
    if (bytes.size() >= kWriteSize) return hand_over(bytes);
    pending += bytes;
  }

  void flush() {
    hand_over(pending);
    pending.clear();
  }

  // Hands bytes to the destination, unless an earlier step failed.
  void hand_over(std::string_view bytes) {
    if (failure || bytes.empty()) return;
    if (auto* file = std::get_if<FileReplacement>(&destination)) {
      if (const int error = file->write(bytes); error != 0) fail(target_failure(target, error));
    } else if (const int error = std::get<StreamOutput>(destination).write(bytes); error != 0) {
      fail({"write: temporary file in " + shown(Spool::directory()) + ": " + errno_text(error)});
    }
  }

  void put_in_place() {
    flush();
    if (failure) return;
    int error = 0;
    if (auto* file = std::get_if<FileReplacement>(&destination)) {
      if (error = file->make_directories(); error != 0) {
        return fail({"write: cannot create directory " + shown(file->path().parent_path().native()) + ": " +
                     errno_text(error)});
      }
      error = file->commit();
    } else {
      error = std::get<StreamOutput>(destination).commit(cancel_fd);
    }
    if (error != 0) fail(target_failure(target, error));
  }

  std::expected<void, WriteFailure> status() const {
    if (failure) return std::unexpected(*failure);
    return {};
  }
};

OutputWriter::OutputWriter(std::unique_ptr<State> state) noexcept : state_(std::move(state)) {}
OutputWriter::OutputWriter(OutputWriter&&) noexcept = default;
OutputWriter& OutputWriter::operator=(OutputWriter&&) noexcept = default;
OutputWriter::~OutputWriter() = default;

std::expected<OutputWriter, WriteFailure> OutputWriter::open(const Target& target, bool gzip, int cancel_fd) {
  auto destination = destination_for(target);
  if (!destination) return std::unexpected(target_failure(target, destination.error()));
  auto state =
      std::make_unique<State>(State{target, cancel_fd, std::move(*destination), std::nullopt, std::nullopt, {}});
  state->pending.reserve(kWriteSize);
  if (gzip) state->gzip.emplace([raw = state.get()](std::string_view bytes) { raw->put(bytes); });
  return OutputWriter(std::move(state));
}

std::expected<void, WriteFailure> OutputWriter::write(std::string_view piece) {
  State& s = *state_;
  if (!s.gzip) {
    s.put(piece);
  } else if (!s.failure) {
    if (auto packed = s.gzip->write(piece); !packed) s.fail({"gzip: " + packed.error()});
  }
  return s.status();
}

std::expected<void, WriteFailure> OutputWriter::commit() {
  State& s = *state_;
  if (s.gzip && !s.failure) {
    if (auto finished = s.gzip->finish(); !finished) s.fail({"gzip: " + finished.error()});
  }
  s.put_in_place();
  return s.status();
}

}  // namespace kiroku::cli
