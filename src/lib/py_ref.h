// An owner of one strong reference to a Python object, or of nothing.
// Every "New reference" the C API hands out is adopted with steal() at once;
// borrow() takes a reference of its own to a "Borrowed reference".
#pragma once

#include <Python.h>

#include <utility>

namespace kiroku {

class PyRef {
 public:
  PyRef() noexcept = default;

  [[nodiscard]] static PyRef steal(PyObject* object) noexcept { return PyRef(object); }
  [[nodiscard]] static PyRef borrow(PyObject* object) noexcept {
    Py_XINCREF(object);
    return PyRef(object);
  }

  PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  PyRef& operator=(PyRef&& other) noexcept {
    PyObject* old = std::exchange(object_, std::exchange(other.object_, nullptr));
    Py_XDECREF(old);  // last: dropping it may run arbitrary Python code
    return *this;
  }
  ~PyRef() { Py_XDECREF(object_); }

  PyObject* get() const noexcept { return object_; }
  // Hands the reference to the caller (for "steals a reference" APIs and
  // for returning a new reference to the interpreter).
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(object_, nullptr); }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  explicit PyRef(PyObject* object) noexcept : object_(object) {}
  PyObject* object_ = nullptr;
};

}  // namespace kiroku
