// The module's exception classes and every raise of the module.  Stage
// failures reach Python only through raise_pipeline_error; no C++ exception
// reaches the interpreter (guard_boundary).
#pragma once

#include <Python.h>

#include <cstddef>
#include <exception>
#include <new>
#include <string_view>

#include "kiroku/pipeline.h"
#include "lib/py_ref.h"

namespace kiroku {

// The name of the input format inside messages: "failed to parse tenhou log".
inline constexpr std::string_view kSourceFormatLabel = "tenhou";

// The four classes of the module, in the order the module adds them.
enum class ModuleError : std::size_t {
  TenhouLogParsingError,
  TenhouToMjaiError,
  JsonSerializationError,
  JsonParsingError,
};
inline constexpr std::size_t kModuleErrorCount = 4;

// Borrowed reference to the class, created on first use and kept until the
// process ends; nullptr with the internal failure raised when the
// interpreter cannot create it.
PyObject* module_error_class(ModuleError which) noexcept;

// The raise helpers return nullptr so that a function can end with
// `return raise_...(...);`.

// Raises `type` (borrowed) with `message` as its only argument.  The
// instance is made by the interpreter when someone asks for it, and no
// exception being handled is attached as its __context__.
std::nullptr_t raise_with_message(PyObject* type, std::string_view message) noexcept;
// The same with a message already made (nullptr: making it failed).
std::nullptr_t raise_with_message(PyObject* type, PyRef message) noexcept;

// The fixed exception of the stage that failed; none of the error's details
// reach Python.
std::nullptr_t raise_pipeline_error(const PipelineError& error) noexcept;

// An operating-system error by its number: the class of its kind, with the
// message "<system text> (os error N)".
std::nullptr_t raise_os_error(int error_number) noexcept;

// Ends the call with the internal-failure class (derived from BaseException,
// so `except Exception` lets it through) and writes one line naming the
// failure to standard error.  `where` names the function; may be nullptr.
std::nullptr_t raise_internal_failure(const char* where, const char* text) noexcept;

// Runs `body` (returning a new reference or nullptr with an exception set)
// and turns any C++ exception escaping it into a Python one: exhausted
// memory into MemoryError, as the interpreter's own allocations report it
// (so that `except Exception` sees it), anything else into the internal
// failure.
template <class Body>
PyObject* guard_boundary(const char* where, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::exception& error) {
    return raise_internal_failure(where, error.what());
  } catch (...) {
    return raise_internal_failure(where, "unknown C++ exception");
  }
}

}  // namespace kiroku
