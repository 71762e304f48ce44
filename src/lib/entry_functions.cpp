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

// A new list holding one new str per event text; empty with the
// interpreter's exception set when it runs out of memory.
PyRef to_str_list(const EncodedEvents& events) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(events.size())));
  if (!list) return list;
  Py_ssize_t i = 0;
  for (const std::string_view text : events) {
    PyObject* item = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    if (item == nullptr) return PyRef();
    PyList_SET_ITEM(list.get(), i++, item);  // steals item
  }
  return list;
}

// Writes the event lines to `path` ("-": standard output).  False with the
// exception raised when the sink cannot be created, written or closed.
bool write_event_lines(const EncodedEvents& events, const std::string& path) {
  auto sink = OutputSink::open(path);
  if (!sink) {
    raise_with_message(PyExc_OSError, "failed to create mjai out file " + display_path(path));
    return false;
  }
  // The arena is the file's exact content: every text with its line feed.
  if (!sink->write_lines(events.lines()) || !sink->close()) {
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
    auto events = convert_text(std::move(*text));
    if (!events) return raise_pipeline_error(events.error());
    return to_str_list(*events).release();
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
    auto events = convert_text(std::move(*text));
    if (!events) return raise_pipeline_error(events.error());

    if (output_path && !write_event_lines(*events, *output_path)) return nullptr;
    return to_str_list(*events).release();
  });
}

}  // namespace kiroku
