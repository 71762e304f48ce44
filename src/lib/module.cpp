// PyInit__kiroku: the module object, made once per process for the one
// interpreter that imports it first.

#include <Python.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "lib/entry_functions.h"
#include "lib/exceptions.h"
#include "lib/py_ref.h"

#ifndef KIROKU_PACKAGE_VERSION
#error "the build passes the package version as KIROKU_PACKAGE_VERSION"
#endif

namespace kiroku {

namespace {

// -1 until the first initialisation claims the module for its interpreter.
std::atomic<std::int64_t> owner_interpreter{-1};
// The module object, kept for the life of the process once made.
std::atomic<PyObject*> module_object{nullptr};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_kiroku",
    "",  // __doc__ is the empty text, not None
    0,   // no per-module state
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// The calling convention's function type, seen as the PyCFunction the
// method table stores (the flags tell the interpreter the real type).
template <PyObject* (*Function)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*) noexcept>
PyCFunction as_method() {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Function));
}

// The documentation text is the signature block alone, so each function
// reports a __text_signature__ and a __doc__ of None.
PyMethodDef tenhou_file_to_mjai_method = {
    "tenhou_file_to_mjai",
    as_method<tenhou_file_to_mjai>(),
    METH_FASTCALL | METH_KEYWORDS,
    "tenhou_file_to_mjai(filename, mjai_out=None)\n--\n\n",
};
PyMethodDef tenhou_to_mjai_method = {
    "tenhou_to_mjai",
    as_method<tenhou_to_mjai>(),
    METH_FASTCALL | METH_KEYWORDS,
    "tenhou_to_mjai(data)\n--\n\n",
};

// "-alpha" -> "a", then "-beta" -> "b": the interpreter's short form of a
// pre-release version.
std::string version_text(std::string version) {
  const auto replace_all = [&](std::string_view from, std::string_view to) {
    for (std::size_t at = version.find(from); at != std::string::npos; at = version.find(from, at + to.size())) {
      version.replace(at, from.size(), to);
    }
  };
  replace_all("-alpha", "a");
  replace_all("-beta", "b");
  return version;
}

PyRef text_object(std::string_view text) {
  return PyRef::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

// Appends `name` to the module's __all__ (made empty on first use), then
// sets the attribute.  False with the exception set on failure.
bool add_attribute(PyObject* module, std::string_view name, PyRef value) {
  if (!value) return false;
  PyRef key = text_object(name);
  if (!key) return false;
  PyObject* interned = key.release();
  PyUnicode_InternInPlace(&interned);  // may swap in the interned copy
  key = PyRef::steal(interned);

  PyRef all_name = text_object("__all__");
  if (!all_name) return false;
  PyRef all = PyRef::steal(PyObject_GetAttr(module, all_name.get()));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
    PyErr_Clear();
    all = PyRef::steal(PyList_New(0));
    if (!all || PyObject_SetAttr(module, all_name.get(), all.get()) != 0) return false;
  }
  if (PyList_Append(all.get(), key.get()) != 0) return false;
  return PyObject_SetAttr(module, key.get(), value.get()) == 0;
}

// A built-in function bound to the module, reporting the module's name as
// its __module__.
PyRef function_object(PyObject* module, PyMethodDef& method) {
  PyRef module_name = PyRef::steal(PyModule_GetNameObject(module));
  if (!module_name) return PyRef();
  return PyRef::steal(PyCMethod_New(&method, module, module_name.get(), nullptr));
}

// The module body: the eight attributes, in this order.
bool fill_module(PyObject* module) {
  constexpr std::array<std::pair<ModuleError, std::string_view>, kModuleErrorCount> kClasses = {{
      {ModuleError::TenhouLogParsingError, "TenhouLogParsingError"},
      {ModuleError::TenhouToMjaiError, "TenhouToMjaiError"},
      {ModuleError::JsonSerializationError, "JsonSerializationError"},
      {ModuleError::JsonParsingError, "JsonParsingError"},
  }};
  for (const auto& [which, name] : kClasses) {
    PyObject* type = module_error_class(which);
    if (type == nullptr) return false;
    if (!add_attribute(module, name, PyRef::borrow(type))) return false;
  }
  if (!add_attribute(module, "tenhou_file_to_mjai", function_object(module, tenhou_file_to_mjai_method))) {
    return false;
  }
  if (!add_attribute(module, "tenhou_to_mjai", function_object(module, tenhou_to_mjai_method))) return false;
  const std::string version = version_text(KIROKU_PACKAGE_VERSION);
  // Two separate, equal str objects.
  return add_attribute(module, "__version__", text_object(version)) &&
         add_attribute(module, "VERSION", text_object(version));
}

PyObject* initialise() {
  const std::int64_t interpreter = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (interpreter == -1) return nullptr;
  std::int64_t owner = -1;
  if (!owner_interpreter.compare_exchange_strong(owner, interpreter) && owner != interpreter) {
    return raise_with_message(PyExc_ImportError,
                              "_kiroku serves only the first interpreter that imported it; "
                              "sub-interpreters are not supported");
  }

  if (PyObject* existing = module_object.load()) return PyRef::borrow(existing).release();

  PyRef module = PyRef::steal(PyModule_Create2(&module_definition, 1013));
  if (!module || !fill_module(module.get())) return nullptr;  // the new module is released

  PyObject* expected = nullptr;
  if (module_object.compare_exchange_strong(expected, module.get())) {
    // The slot keeps the reference `module` held; the caller gets a new one.
    return PyRef::borrow(module.release()).release();
  }
  return PyRef::borrow(expected).release();  // made meanwhile: that one is the module
}

}  // namespace

}  // namespace kiroku

PyMODINIT_FUNC PyInit__kiroku() { return kiroku::guard_boundary("PyInit__kiroku", kiroku::initialise); }
