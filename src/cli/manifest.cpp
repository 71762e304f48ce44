#include "cli/manifest.h"

#include <cstdio>  // snprintf
#include <utility>

#include "kiroku/io/utf8.h"

namespace kiroku::cli {
namespace {

std::size_t sequence_size(unsigned char lead) noexcept {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

void append_escape(std::string& out, unsigned code) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", code);
  out += escape;
}

}  // namespace

std::string json_string_of_bytes(std::string_view bytes) {
  std::string out = "\"";
  out.reserve(bytes.size() + 2);
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      if (byte == '"' || byte == '\\') {
        out += '\\';
        out += static_cast<char>(byte);
      } else if (byte < 0x20) {
        append_escape(out, byte);
      } else {
        out += static_cast<char>(byte);
      }
      ++i;
      continue;
    }
    const std::size_t size = sequence_size(byte);
    if (size > 1 && i + size <= bytes.size() && is_valid_utf8(bytes.substr(i, size))) {
      out += bytes.substr(i, size);
      i += size;
    } else {
      append_escape(out, 0xDC00U + byte);
      ++i;
    }
  }
  out += '"';
  return out;
}

std::string manifest_line(const Job& job, const Outcome& outcome) {
  const bool written = outcome.status == Outcome::Status::Converted ||
                       (outcome.status == Outcome::Status::Skipped && outcome.skip == Skip::OutputExists);
  std::string line = "{\"source\":" + json_string_of_bytes(job_name(job)) + ",\"output\":";
  line += written ? (job.target ? json_string_of_bytes(job.target->native()) : std::string("\"-\"")) : "null";
  line += ",\"status\":";
  switch (outcome.status) {
    case Outcome::Status::Converted: line += "\"converted\",\"reason\":null"; break;
    case Outcome::Status::Skipped:
      line += "\"skipped\",\"reason\":" + json_string_of_bytes(skip_text(outcome.skip));
      break;
    case Outcome::Status::Failed: line += "\"failed\",\"reason\":" + json_string_of_bytes(outcome.diagnostic); break;
  }
  line += ",\"events\":" + std::to_string(outcome.events) + ",\"hands\":" + std::to_string(outcome.hands) + "}\n";
  return line;
}

std::expected<Manifest, WriteFailure> Manifest::open(const std::optional<std::filesystem::path>& path, int cancel_fd) {
  auto writer = OutputWriter::open(path, false, cancel_fd);
  if (!writer) return std::unexpected(std::move(writer.error()));
  return Manifest(std::move(*writer));
}

void Manifest::write(const std::string& line) {
  if (failure_) return;
  if (auto written = writer_.write(line); !written) failure_ = std::move(written.error());
}

void Manifest::add(std::size_t index, const Job& job, const Outcome& outcome) {
  waiting_.emplace(index, manifest_line(job, outcome));
  for (auto first = waiting_.begin(); first != waiting_.end() && first->first == next_; first = waiting_.begin()) {
    write(first->second);
    waiting_.erase(first);
    ++next_;
  }
}

std::expected<void, WriteFailure> Manifest::commit() {
  for (const auto& [index, line] : waiting_) write(line);
  waiting_.clear();
  if (failure_) return std::unexpected(std::move(*failure_));
  return writer_.commit();
}

}  // namespace kiroku::cli
