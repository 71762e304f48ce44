// The two functions the module offers, in the fast-call-with-keywords
// convention; each returns a new reference or nullptr with an exception set.
#pragma once

#include <Python.h>

namespace kiroku {

PyObject* tenhou_to_mjai(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept;
PyObject* tenhou_file_to_mjai(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept;

}  // namespace kiroku
