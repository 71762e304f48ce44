#include "lib/entry_functions.h"

#include <array>
#include <expected>
#include <optional>
#include <string>
#include <utility>

#include "kiroku/pipeline.h"
#include "lib/arguments.h"
#include "lib/exceptions.h"
#include "lib/input_file.h"
#include "lib/output_sink.h"
#include "lib/path_text.h"
#include "lib/py_ref.h"

namespace kiroku {

namespace {

constexpr std::array<const char*, 1> kTenhouToMjaiNames = {"data"};
constexpr Parameters kTenhouToMjai{"tenhou_to_mjai", kTenhouToMjaiNames, 1};

constexpr std::array<const char*, 2> kTenhouFileToMjaiNames = {"filename", "mjai_out"};
constexpr Parameters kTenhouFileToMjai{"tenhou_file_to_mjai", kTenhouFileToMjaiNames, 1};

// A new list of one new str per event of the log, built a hand at a time:
// nothing grows with the log but what the caller receives (the list grows
// in place, where a list made at the end from a vector of the items would
// hold their pointers twice).  Empty with the interpreter's exception set
// on failure.
PyRef events_list(PaddedText text) {
  Conversion conversion(std::move(text));
  PyRef list = PyRef::steal(PyList_New(0));
  if (!list) return list;
  for (;;) {
    auto piece = conversion.next();
    if (!piece) {
      raise_pipeline_error(piece.error());
      return PyRef();
    }
    if (!*piece) break;
    std::string_view lines = **piece;
    while (!lines.empty()) {
      const std::size_t end = lines.find('\n');  // every text is followed by one
      PyRef item = PyRef::steal(PyUnicode_FromStringAndSize(lines.data(), static_cast<Py_ssize_t>(end)));
      if (!item || PyList_Append(list.get(), item.get()) != 0) return PyRef();
      lines.remove_prefix(end + 1);
    }
  }
  return list;
}

// Writes the event texts of `list` (a list of str as events_list makes it)
// to `path` ("-": standard output), one per line.  False with the exception
// raised when the sink cannot be created, written or closed.
bool write_event_lines(PyObject* list, const std::string& path) {
  auto sink = OutputSink::open(path);
  if (!sink) {
    raise_with_message(PyExc_OSError, "failed to create mjai out file " + display_path(path));
    return false;
  }
  // Whole lines in blocks: one write per block, never a text apart from its
  // line feed.
  constexpr std::size_t kBlockSize = std::size_t{64} << 10;
  std::string block;
  block.reserve(kBlockSize);
  bool written = true;
  const Py_ssize_t count = PyList_GET_SIZE(list);
  for (Py_ssize_t i = 0; i < count && written; ++i) {
    Py_ssize_t size = 0;
    // Borrowed: the str keeps its UTF-8 form (an ASCII str is its own).
    const char* text = PyUnicode_AsUTF8AndSize(PyList_GET_ITEM(list, i), &size);
    if (text == nullptr) return false;
    if (block.size() + static_cast<std::size_t>(size) + 1 > kBlockSize && !block.empty()) {
      written = sink->write_lines(block);
      block.clear();
    }
    block.append(text, static_cast<std::size_t>(size));
    block += '\n';
  }
  if (written && !block.empty()) written = sink->write_lines(block);
  if (!written || !sink->close()) {
    raise_with_message(PyExc_OSError, "failed to write to mjai out file");
    return false;
  }
  return true;
}

}  // namespace

PyObject* tenhou_to_mjai(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
  return guard_boundary("tenhou_to_mjai", [&]() -> PyObject* {
    std::array<PyObject*, 1> bound{};
    if (!bind_arguments(kTenhouToMjai, args, nargs, kwnames, bound)) return nullptr;
    std::optional<PaddedText> text = text_argument(bound[0], "data");
    if (!text) return nullptr;
    return events_list(std::move(*text)).release();
  });
}

PyObject* tenhou_file_to_mjai(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
  return guard_boundary("tenhou_file_to_mjai", [&]() -> PyObject* {
    std::array<PyObject*, 2> bound{};
    if (!bind_arguments(kTenhouFileToMjai, args, nargs, kwnames, bound)) return nullptr;

    // Both paths are converted before any file is touched.
    std::optional<std::string> input_path = path_argument(bound[0], "filename");
    if (!input_path) return nullptr;
    std::optional<std::string> output_path;
    if (bound[1] != nullptr && bound[1] != Py_None) {
      output_path = path_argument(bound[1], "mjai_out");
      if (!output_path) return nullptr;
    }

    auto text = read_log_file(*input_path);
    if (!text) return raise_input_error(text.error(), *input_path);
    // Every stage finishes before the sink is opened: a log that fails
    // leaves an existing output file untouched.
    PyRef events = events_list(std::move(*text));
    if (!events) return nullptr;
    if (output_path && !write_event_lines(events.get(), *output_path)) return nullptr;
    return events.release();
  });
}

}  // namespace kiroku
