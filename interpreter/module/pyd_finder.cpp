// The finder is written against the C interface rather than in Python: it is consulted on every
// import, and running Python code to create and consult it would cost every run a noticeable
// share of its start-up.
#include <Python.h>

#include "interpreter/module/pyd_finder.h"

#include <string_view>
#include <vector>

#include "interpreter/module/method_object.h"
#include "interpreter/module/py_ref.h"
#include "platform/file_system.h"
#include "platform/path_rules.h"

namespace fwlaunch::interpreter {

namespace {

bool IsBuiltinModule(const char* name) {
  PyObject* names = PySys_GetObject(const_cast<char*>("builtin_module_names"));  // borrowed
  PyRef key(PyString_FromString(name));
  return names != nullptr && key && PySequence_Contains(names, key.get()) == 1;
}

// A package folder counts when it lies in the working folder (which ends in a separator) and
// never climbs out of it.
bool IsInside(std::string_view folder, std::string_view working_folder) {
  return folder.starts_with(working_folder) &&
         platform::StaysInsideFolder(folder.substr(working_folder.size()));
}

// loader.load_module(fullname), the loader bound to the file its finder found.
PyObject* LoadModule(PyObject* filename, PyObject* args) {
  const char* fullname;
  if (!PyArg_ParseTuple(args, "s:load_module", &fullname)) return nullptr;
  PyObject* loaded = PyDict_GetItemString(PyImport_GetModuleDict(), fullname);  // borrowed
  if (loaded != nullptr) {
    Py_INCREF(loaded);
    return loaded;
  }
  PyRef imp(PyImport_ImportModule("imp"));
  if (!imp) return nullptr;
  return PyObject_CallMethod(imp.get(), const_cast<char*>("load_dynamic"), const_cast<char*>("sO"),
                             fullname, filename);
}

// The interpreter keeps pointers to these descriptions for as long as the functions live.
PyMethodDef load_module_method = {"load_module", LoadModule, METH_VARARGS, nullptr};

// finder.find_module(fullname, path=None), the finder bound to the working folder's path.
PyObject* FindModule(PyObject* working_folder_object, PyObject* args) {
  const char* fullname;
  PyObject* package_path = Py_None;
  if (!PyArg_ParseTuple(args, "s|O:find_module", &fullname, &package_path)) return nullptr;
  if (IsBuiltinModule(fullname)) Py_RETURN_NONE;

  std::string_view working_folder = PyString_AsString(working_folder_object);
  std::vector<std::string_view> folders;
  if (package_path == Py_None) {
    folders.push_back(working_folder);
  } else if (PyList_Check(package_path)) {
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(package_path); ++i) {
      PyObject* entry = PyList_GET_ITEM(package_path, i);
      if (PyString_Check(entry) && IsInside(PyString_AS_STRING(entry), working_folder))
        folders.push_back(PyString_AS_STRING(entry));
    }
  }

  std::string_view name = fullname;
  std::string_view tail = name.substr(name.rfind('.') + 1);  // npos + 1 is 0: the whole name
  for (std::string_view folder : folders) {
    while (folder.size() > 1 && platform::IsSeparator(folder.back())) folder.remove_suffix(1);
    std::string candidate = std::string(folder) + platform::kSeparator;
    candidate.append(tail).append(".pyd");
    if (!platform::IsRegularFile(candidate)) continue;
    PyRef filename(PyString_FromString(candidate.c_str()));
    return filename ? NewObjectWithMethods("PydLoader", {&load_module_method}, filename.get())
                    : nullptr;
  }
  Py_RETURN_NONE;
}

PyMethodDef find_module_method = {"find_module", FindModule, METH_VARARGS, nullptr};

}  // namespace

Status InstallPydFinder(const std::string& working_folder) {
  PyRef folder(PyString_FromString(working_folder.c_str()));
  PyRef finder(folder ? NewObjectWithMethods("PydFinder", {&find_module_method}, folder.get())
                      : nullptr);
  PyObject* meta_path = PySys_GetObject(const_cast<char*>("meta_path"));  // borrowed
  if (!finder || meta_path == nullptr || !PyList_Check(meta_path) ||
      PyList_Insert(meta_path, 0, finder.get()) != 0) {
    PyErr_Clear();
    return Fail("cannot install the .pyd finder");
  }
  return Done{};
}

}  // namespace fwlaunch::interpreter
