#include <Python.h>
#include <marshal.h>

#include "launcher/module_search.h"

#include <stdexcept>

#include "launcher/py_ref.h"
#include "launcher/pyd_finder_bytecode.h"

namespace fwlaunch {

namespace {

// The folders the interpreter searches by itself when it runs from its own installation.
constexpr const char* kStdlibSubfolders[] = {"", "/plat-linux2", "/lib-tk", "/lib-old",
                                             "/lib-dynload"};

void Require(bool condition, const char* what) {
  if (!condition) {
    PyErr_Clear();
    throw std::runtime_error(what);
  }
}

void SetSearchPath(const std::string& working_folder, const std::string& stdlib_folder) {
  PyRef path(PyList_New(0));
  Require(static_cast<bool>(path), "no list for sys.path");
  PyRef first(PyString_FromString(working_folder.c_str()));
  Require(first && PyList_Append(path.get(), first.get()) == 0, "sys.path");
  for (const char* subfolder : kStdlibSubfolders) {
    PyRef folder(PyString_FromString((stdlib_folder + subfolder).c_str()));
    Require(folder && PyList_Append(path.get(), folder.get()) == 0, "sys.path");
  }
  Require(PySys_SetObject(const_cast<char*>("path"), path.get()) == 0, "sys.path");
}

// Runs the finder's module (launcher/pyd_finder.py, compiled at build time) and installs it.
void InstallPydFinder(const std::string& working_folder) {
  PyRef globals(PyDict_New());
  Require(globals && PyDict_SetItemString(globals.get(), "__builtins__", PyEval_GetBuiltins()) == 0,
          "finder namespace");
  PyRef code(PyMarshal_ReadObjectFromString(
      const_cast<char*>(reinterpret_cast<const char*>(kPydFinderBytecode)),
      static_cast<Py_ssize_t>(sizeof kPydFinderBytecode)));
  Require(code && PyCode_Check(code.get()), "finder bytecode");
  PyRef ran(PyEval_EvalCode(reinterpret_cast<PyCodeObject*>(code.get()), globals.get(),
                            globals.get()));
  Require(static_cast<bool>(ran), "finder module");
  PyObject* install = PyDict_GetItemString(globals.get(), "install");
  Require(install != nullptr, "finder install");
  PyRef installed(PyObject_CallFunction(install, const_cast<char*>("s"), working_folder.c_str()));
  Require(static_cast<bool>(installed), "finder install");
}

// The interpreter looked for its codecs while it started, before the standard library was
// on sys.path; loading them now registers them, as a normal start would have.
void LoadCodecs() {
  PyRef encodings(PyImport_ImportModule("encodings"));
  if (!encodings) PyErr_Clear();
}

}  // namespace

void PrepareModuleSearch(const std::string& working_folder, const std::string& stdlib_folder) {
  SetSearchPath(working_folder, stdlib_folder);
  InstallPydFinder(working_folder);
  LoadCodecs();
}

}  // namespace fwlaunch
