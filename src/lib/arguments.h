// Binding of fast-call arguments to parameters, and the conversion of the
// bound objects into what the conversion needs: the log text, file paths.
#pragma once

#include <Python.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "kiroku/io/padded_text.h"

namespace kiroku {

// The parameters of one function: all positional-or-keyword, the first
// `required` of them required.
struct Parameters {
  const char* function;  // "tenhou_to_mjai"
  std::span<const char* const> names;
  std::size_t required;
};

// Places the positional arguments and then the keyword arguments (matched
// by their UTF-8 text) into `bound`, one borrowed reference per parameter,
// nullptr for one not given.  False with a TypeError raised when the call
// does not fit the parameters.  Precondition: bound.size() == names.size().
[[nodiscard]] bool bind_arguments(const Parameters& parameters, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames, std::span<PyObject*> bound);

// The UTF-8 text of a str argument, copied into a buffer owned by the
// caller.  Nothing, with the exception raised, when `object` is not a str
// or has no UTF-8 form (unpaired surrogates).
[[nodiscard]] std::optional<PaddedText> text_argument(PyObject* object, const char* name);

// The file-system bytes of a path-like argument whose os.fspath is a str.
// Nothing, with the exception raised, otherwise.
[[nodiscard]] std::optional<std::string> path_argument(PyObject* object, const char* name);

}  // namespace kiroku
