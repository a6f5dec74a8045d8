#include <Python.h>

#include "launcher/module_search.h"

#include <stdexcept>

#include "launcher/py_ref.h"

namespace fwlaunch {

namespace {

// The folders the interpreter searches by itself when it runs from its own installation.
constexpr const char* kStdlibSubfolders[] = {"", "/plat-linux2", "/lib-tk", "/lib-old",
                                             "/lib-dynload"};

// Python 2.7 on this platform does not look for ".pyd" files, which is what the firmware
// carries its extension modules as. This finder, consulted before sys.path, loads them from
// the working folder only. It uses built-in modules alone, so it works before the standard
// library is reachable.
constexpr char kPydFinderSource[] = R"python(
import imp, posix, sys

class PydLoader(object):
    def __init__(self, filename):
        self.filename = filename

    def load_module(self, fullname):
        module = sys.modules.get(fullname)
        if module is not None:
            return module
        return imp.load_dynamic(fullname, self.filename)

class PydFinder(object):
    def __init__(self, folder):
        self.folder = folder

    def inside(self, folder):
        return (isinstance(folder, str) and folder.startswith(self.folder)
                and '..' not in folder.split('/'))

    def find_module(self, fullname, path=None):
        if fullname in sys.builtin_module_names:
            return None
        if path is None:
            folders = [self.folder]
        else:
            folders = [folder for folder in path if self.inside(folder)]
        tail = fullname.rpartition('.')[2]
        for folder in folders:
            candidate = folder.rstrip('/') + '/' + tail + '.pyd'
            try:
                mode = posix.stat(candidate).st_mode
            except OSError:
                continue
            if mode & 0o170000 == 0o100000:
                return PydLoader(candidate)
        return None

def install(folder):
    sys.meta_path.insert(0, PydFinder(folder))
)python";

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

void InstallPydFinder(const std::string& working_folder) {
  PyRef globals(PyDict_New());
  Require(globals && PyDict_SetItemString(globals.get(), "__builtins__", PyEval_GetBuiltins()) == 0,
          "finder namespace");
  PyRef ran(PyRun_String(kPydFinderSource, Py_file_input, globals.get(), globals.get()));
  Require(static_cast<bool>(ran), "finder source");
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
