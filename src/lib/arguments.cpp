#include "lib/arguments.h"

#include <cstring>  // memcmp, strlen
#include <string_view>

#include "lib/exceptions.h"
#include "lib/py_ref.h"

namespace kiroku {

namespace {

// Steals `message`; nullptr (making it failed) gives the internal failure.
std::nullptr_t raise_type_error(PyObject* message) {
  return raise_with_message(PyExc_TypeError, PyRef::steal(message));
}

bool too_many_positional(const Parameters& parameters, Py_ssize_t given) {
  const char* was = given == 1 ? "was" : "were";
  if (parameters.required == parameters.names.size()) {
    raise_type_error(PyUnicode_FromFormat("%s() takes %zu positional arguments but %zd %s given", parameters.function,
                                          parameters.required, given, was));
  } else {
    raise_type_error(PyUnicode_FromFormat("%s() takes from %zu to %zu positional arguments but %zd %s given",
                                          parameters.function, parameters.required, parameters.names.size(), given,
                                          was));
  }
  return false;
}

// The parameter a keyword names, or names.size() for none.  A keyword
// without a UTF-8 form (unpaired surrogates) names no parameter.
std::size_t parameter_named(const Parameters& parameters, PyObject* keyword) {
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(keyword, &size);
  if (text == nullptr) {
    PyErr_Clear();
    return parameters.names.size();
  }
  const std::string_view wanted(text, static_cast<std::size_t>(size));
  for (std::size_t i = 0; i < parameters.names.size(); ++i) {
    if (wanted == parameters.names[i]) return i;
  }
  return parameters.names.size();
}

// The argument type error for an object whose type cannot serve as a str.
std::nullptr_t raise_not_a_string(PyObject* object, const char* name) {
  PyRef qualified_name = PyRef::steal(PyType_GetQualName(Py_TYPE(object)));
  if (!qualified_name) return raise_internal_failure(nullptr, "Python API call failed");
  return raise_type_error(
      PyUnicode_FromFormat("argument '%s': '%U' object cannot be converted to 'PyString'", name, qualified_name.get()));
}

// Applies the argument-error rule to the exception being raised: a
// TypeError is replaced by a new one whose message names the parameter
// (keeping the old one's __cause__); any other exception passes unchanged.
std::nullptr_t reraise_as_argument_error(const char* name) {
  PyObject* raw_type = nullptr;
  PyObject* raw_value = nullptr;
  PyObject* raw_traceback = nullptr;
  PyErr_Fetch(&raw_type, &raw_value, &raw_traceback);
  PyErr_NormalizeException(&raw_type, &raw_value, &raw_traceback);
  PyRef type = PyRef::steal(raw_type);
  PyRef value = PyRef::steal(raw_value);
  PyRef traceback = PyRef::steal(raw_traceback);
  if (!type) return raise_internal_failure(nullptr, "Python API call failed");  // nothing was raised
  if (!value || !PyErr_GivenExceptionMatches(type.get(), PyExc_TypeError)) {
    PyErr_Restore(type.release(), value.release(), traceback.release());
    return nullptr;
  }
  PyRef text = PyRef::steal(PyObject_Str(value.get()));
  if (!text) return raise_internal_failure(nullptr, "Python API call failed");
  PyRef cause = PyRef::steal(PyException_GetCause(value.get()));
  PyRef message = PyRef::steal(PyUnicode_FromFormat("argument '%s': %U", name, text.get()));
  if (!message) return raise_internal_failure(nullptr, "Python API call failed");
  raise_type_error(message.release());
  if (!cause) return nullptr;
  // The cause needs an instance to sit on.
  PyErr_Fetch(&raw_type, &raw_value, &raw_traceback);
  PyErr_NormalizeException(&raw_type, &raw_value, &raw_traceback);
  if (raw_value != nullptr && PyExceptionInstance_Check(raw_value)) {
    PyException_SetCause(raw_value, cause.release());  // steals the cause
  }
  PyErr_Restore(raw_type, raw_value, raw_traceback);
  return nullptr;
}

}  // namespace

bool bind_arguments(const Parameters& parameters, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    std::span<PyObject*> bound) {
  if (static_cast<std::size_t>(nargs) > parameters.names.size()) return too_many_positional(parameters, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) bound[static_cast<std::size_t>(i)] = args[i];

  // The keyword values follow the positional ones in `args`.
  const Py_ssize_t keyword_count = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
  for (Py_ssize_t k = 0; k < keyword_count; ++k) {
    PyObject* keyword = PyTuple_GET_ITEM(kwnames, k);
    const std::size_t index = parameter_named(parameters, keyword);
    if (index == parameters.names.size()) {
      raise_type_error(
          PyUnicode_FromFormat("%s() got an unexpected keyword argument '%U'", parameters.function, keyword));
      return false;
    }
    if (bound[index] != nullptr) {
      raise_type_error(PyUnicode_FromFormat("%s() got multiple values for argument '%s'", parameters.function,
                                            parameters.names[index]));
      return false;
    }
    bound[index] = args[nargs + k];
  }

  for (std::size_t i = 0; i < parameters.required; ++i) {
    if (bound[i] == nullptr) {
      raise_type_error(PyUnicode_FromFormat("%s() missing 1 required positional argument: '%s'", parameters.function,
                                            parameters.names[i]));
      return false;
    }
  }
  return true;
}

std::optional<PaddedText> text_argument(PyObject* object, const char* name) {
  if (!PyUnicode_Check(object)) {
    raise_not_a_string(object, name);
    return std::nullopt;
  }
  Py_ssize_t size = 0;
  if (PyUnicode_IS_ASCII(object)) {
    // Borrowed: an ASCII str is its own UTF-8 form.
    const char* ascii = PyUnicode_AsUTF8AndSize(object, &size);
    if (ascii == nullptr) {
      reraise_as_argument_error(name);
      return std::nullopt;
    }
    return PaddedText::copy_of(std::string_view(ascii, static_cast<std::size_t>(size)));
  }
  // Any other str is encoded into bytes of its own, released once copied:
  // asking the str for its UTF-8 form would leave a copy of the whole log
  // cached in the caller's object for as long as it lives.
  PyRef utf8 = PyRef::steal(PyUnicode_AsUTF8String(object));
  if (!utf8) {
    reraise_as_argument_error(name);
    return std::nullopt;
  }
  return PaddedText::copy_of(
      std::string_view(PyBytes_AS_STRING(utf8.get()), static_cast<std::size_t>(PyBytes_GET_SIZE(utf8.get()))));
}

std::optional<std::string> path_argument(PyObject* object, const char* name) {
  PyRef path = PyRef::steal(PyOS_FSPath(object));
  if (!path) {
    reraise_as_argument_error(name);
    return std::nullopt;
  }
  // A bytes path (given as such, or from __fspath__) is refused.
  if (!PyUnicode_Check(path.get())) {
    raise_not_a_string(path.get(), name);
    return std::nullopt;
  }
  PyRef encoded = PyRef::steal(PyUnicode_EncodeFSDefault(path.get()));
  if (!encoded) {
    reraise_as_argument_error(name);
    return std::nullopt;
  }
  const char* bytes = PyBytes_AsString(encoded.get());
  if (bytes == nullptr) {
    reraise_as_argument_error(name);
    return std::nullopt;
  }
  return std::string(bytes, static_cast<std::size_t>(PyBytes_Size(encoded.get())));
}

}  // namespace kiroku
