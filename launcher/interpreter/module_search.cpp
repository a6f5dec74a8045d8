#include <Python.h>

#include "launcher/interpreter/module_search.h"

#include <stdexcept>
#include <vector>

#include "launcher/interpreter/lazy_codecs.h"
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

std::vector<std::string> StdlibPath(const std::string& stdlib_folder) {
  std::vector<std::string> folders;
  for (const char* subfolder : kStdlibSubfolders) folders.push_back(stdlib_folder + subfolder);
  return folders;
}

// sys.path: the working folder, then the standard library's folders.
void SetSearchPath(const std::string& working_folder, const std::vector<std::string>& stdlib_path) {
  PyRef path(PyList_New(0));
  Require(static_cast<bool>(path), "no list for sys.path");
  PyRef first(PyString_FromString(working_folder.c_str()));
  Require(first && PyList_Append(path.get(), first.get()) == 0, "sys.path");
  for (const std::string& folder : stdlib_path) {
    PyRef entry(PyString_FromString(folder.c_str()));
    Require(entry && PyList_Append(path.get(), entry.get()) == 0, "sys.path");
  }
  Require(PySys_SetObject(const_cast<char*>("path"), path.get()) == 0, "sys.path");
}

}  // namespace

void PrepareModuleSearch(const std::string& working_folder, const std::string& stdlib_folder) {
  std::vector<std::string> stdlib_path = StdlibPath(stdlib_folder);
  SetSearchPath(working_folder, stdlib_path);
  InstallPydFinder(working_folder);
  // Put before the .pyd finder, so that no "codecs.pyd" in the working folder is asked.
  InstallLazyCodecs(stdlib_path);
}

}  // namespace fwlaunch
