#include "lib/exceptions.h"

#include <sys/uio.h>  // writev
#include <unistd.h>   // STDERR_FILENO

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>  // strerror_r, strlen
#include <string_view>
#include <variant>

namespace kiroku {

namespace {

// One slot per class, filled by the first use.  The interpreter lock
// serialises every use, but creating a class runs Python code that may let
// another thread in; the compare-and-swap keeps the first class stored.
std::array<std::atomic<PyObject*>, kModuleErrorCount> module_error_slots{};
std::atomic<PyObject*> internal_error_slot{nullptr};

constexpr std::array<const char*, kModuleErrorCount> kQualifiedNames = {
    "_kiroku.TenhouLogParsingError",
    "_kiroku.TenhouToMjaiError",
    "_kiroku.JsonSerializationError",
    "_kiroku.JsonParsingError",
};

// Borrowed reference to the class in `slot`, created from `base` when the
// slot is empty; nullptr with the host's exception set when creation fails.
PyObject* class_in_slot(std::atomic<PyObject*>& slot, const char* qualified_name, PyObject* base) noexcept {
  if (PyObject* stored = slot.load(std::memory_order_acquire)) return stored;
  PyRef created = PyRef::steal(PyErr_NewExceptionWithDoc(qualified_name, /*doc=*/nullptr, base, /*dict=*/nullptr));
  if (!created) return nullptr;
  PyObject* expected = nullptr;
  // On success the slot keeps the reference for good.
  if (slot.compare_exchange_strong(expected, created.get(), std::memory_order_acq_rel)) return created.release();
  return expected;  // another creation won: its class is the one in use, ours is dropped
}

// One line on standard error, written straight to the descriptor so that
// it appears even when sys.stderr is replaced or broken.
void write_diagnostic(const char* where, const char* text) noexcept {
  const auto piece = [](std::string_view bytes) { return iovec{const_cast<char*>(bytes.data()), bytes.size()}; };
  const std::string_view in = where != nullptr ? " in " : "";
  const std::string_view function = where != nullptr ? where : "";
  const std::array<iovec, 6> parts = {
      piece("_kiroku: internal failure"), piece(in), piece(function), piece(": "), piece(text), piece("\n"),
  };
  // The diagnostic must not fail the call; a short or failed write is let go.
  [[maybe_unused]] const ssize_t written = ::writev(STDERR_FILENO, parts.data(), static_cast<int>(parts.size()));
}

// The exception class for a system error number, by the kind of the error.
PyObject* os_error_class(int error_number) noexcept {
  switch (error_number) {
    case EPIPE: return PyExc_BrokenPipeError;
    case ECONNREFUSED: return PyExc_ConnectionRefusedError;
    case ECONNABORTED: return PyExc_ConnectionAbortedError;
    case ECONNRESET: return PyExc_ConnectionResetError;
    case EINTR: return PyExc_InterruptedError;
    case ENOENT: return PyExc_FileNotFoundError;
    case EACCES:
    case EPERM: return PyExc_PermissionError;
    case EEXIST: return PyExc_FileExistsError;
    case EAGAIN: return PyExc_BlockingIOError;  // EWOULDBLOCK is the same number on Linux
    case ETIMEDOUT: return PyExc_TimeoutError;
    default: return PyExc_OSError;
  }
}

// What each stage's failure shows to Python, in the order of the stages in
// PipelineError.  Messages that name the input format carry the label
// between `head` and `tail`.  No stage raises JsonSerializationError: the
// encoder cannot fail, and the class stays only as part of the module's
// surface.
struct StageFailure {
  ModuleError error_class;
  std::string_view head;
  bool names_format;
  std::string_view tail;
};

constexpr std::array<StageFailure, 3> kStageFailures = {{
    {ModuleError::JsonParsingError, "failed to parse ", true, " log"},             // Stage::Read
    {ModuleError::TenhouLogParsingError, "invalid log", false, ""},                // Stage::Prepare
    {ModuleError::TenhouToMjaiError, "failed to convert ", true, " log to mjai"},  // Stage::Convert
}};
static_assert(kStageFailures.size() == std::variant_size_v<decltype(PipelineError::detail)>);
static_assert(static_cast<std::size_t>(Stage::Read) == 0 && static_cast<std::size_t>(Stage::Prepare) == 1 &&
              static_cast<std::size_t>(Stage::Convert) == 2);

}  // namespace

PyObject* module_error_class(ModuleError which) noexcept {
  const auto index = static_cast<std::size_t>(which);
  PyObject* type = class_in_slot(module_error_slots[index], kQualifiedNames[index], PyExc_ValueError);
  if (type == nullptr) raise_internal_failure(nullptr, "Failed to initialize new exception type.");
  return type;
}

std::nullptr_t raise_with_message(PyObject* type, PyRef message) noexcept {
  if (!message) return raise_internal_failure(nullptr, "Python API call failed");
  // PyErr_Restore rather than PyErr_SetObject: the latter would chain the
  // exception being handled, if any, as __context__.
  PyErr_Restore(PyRef::borrow(type).release(), message.release(), /*traceback=*/nullptr);
  return nullptr;
}

std::nullptr_t raise_with_message(PyObject* type, std::string_view message) noexcept {
  return raise_with_message(
      type, PyRef::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size()))));
}

std::nullptr_t raise_pipeline_error(const PipelineError& error) noexcept {
  const StageFailure& row = kStageFailures[static_cast<std::size_t>(error.stage())];
  PyObject* type = module_error_class(row.error_class);
  if (type == nullptr) return nullptr;
  // Longest message: "failed to convert " + label + " log to mjai".
  std::array<char, 64> buffer{};
  static_assert(18 + kSourceFormatLabel.size() + 12 <= buffer.size());
  std::size_t size = 0;
  const auto append = [&](std::string_view piece) {
    std::memcpy(buffer.data() + size, piece.data(), piece.size());
    size += piece.size();
  };
  append(row.head);
  if (row.names_format) append(kSourceFormatLabel);
  append(row.tail);
  return raise_with_message(type, std::string_view(buffer.data(), size));
}

std::nullptr_t raise_os_error(int error_number) noexcept {
  std::array<char, 256> text_buffer{};
  // GNU strerror_r: returns the text, which may or may not be in the buffer.
  const char* text = strerror_r(error_number, text_buffer.data(), text_buffer.size());
  return raise_with_message(os_error_class(error_number),
                            PyRef::steal(PyUnicode_FromFormat("%s (os error %d)", text, error_number)));
}

std::nullptr_t raise_internal_failure(const char* where, const char* text) noexcept {
  write_diagnostic(where, text);
  PyErr_Clear();  // whatever the interpreter reported on the way is replaced
  PyObject* type = class_in_slot(internal_error_slot, "_kiroku.InternalError", PyExc_BaseException);
  if (type == nullptr) return nullptr;  // the interpreter's own exception (memory) stays set
  // "replace": the text of a C++ exception is not promised to be UTF-8.
  PyRef message = PyRef::steal(PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(std::strlen(text)), "replace"));
  if (!message) return nullptr;
  PyErr_Restore(PyRef::borrow(type).release(), message.release(), nullptr);
  return nullptr;
}

}  // namespace kiroku
