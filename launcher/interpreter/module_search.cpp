#include <Python.h>

#include "launcher/interpreter/module_search.h"

#include <stdexcept>

#include "launcher/interpreter/py_ref.h"
#include "launcher/interpreter/pyd_finder.h"

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

// sys.path: the standard-library folders under stdlib_folder, after first if it is given.
void SetSearchPath(const char* first, const std::string& stdlib_folder) {
  PyRef path(PyList_New(0));
  Require(static_cast<bool>(path), "no list for sys.path");
  if (first != nullptr) {
    PyRef folder(PyString_FromString(first));
    Require(folder && PyList_Append(path.get(), folder.get()) == 0, "sys.path");
  }
  for (const char* subfolder : kStdlibSubfolders) {
    PyRef folder(PyString_FromString((stdlib_folder + subfolder).c_str()));
    Require(folder && PyList_Append(path.get(), folder.get()) == 0, "sys.path");
  }
  Require(PySys_SetObject(const_cast<char*>("path"), path.get()) == 0, "sys.path");
}

// The interpreter looked for its codecs while it started, before the standard library was
// on sys.path; loading them now registers them, as a normal start would have. Like a normal
// start, this happens before the script's own folder is on sys.path, so no firmware module can
// stand in for them, and their imports need not look there.
void LoadCodecs() {
  PyRef encodings(PyImport_ImportModule("encodings"));
  if (!encodings) PyErr_Clear();
}

}  // namespace

void PrepareModuleSearch(const std::string& working_folder, const std::string& stdlib_folder) {
  SetSearchPath(nullptr, stdlib_folder);
  LoadCodecs();
  SetSearchPath(working_folder.c_str(), stdlib_folder);
  InstallPydFinder(working_folder);
}

}  // namespace fwlaunch
