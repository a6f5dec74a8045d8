// Written against the C interface: the search function and the finder are consulted at lookups
// and imports, and creating them in Python would cost every run what loading lazily saves.
#include <Python.h>

#include "interpreter/module/lazy_codecs.h"

#include <cstring>
#include <string_view>

#include "interpreter/module/method_object.h"
#include "interpreter/module/py_ref.h"

namespace fwlaunch::interpreter {

namespace {

// The state shared by the search function, the finder and its loader, one dictionary:
//   "path"    the standard library's folders, the only ones searched for the codecs;
//   "tried"   present once loading was tried;
//   "search"  present once it succeeded: the codecs' own search function;
//   "finder"  the finder, which find_module hands out as the loader.
constexpr char kPath[] = "path";
constexpr char kTried[] = "tried";
constexpr char kSearch[] = "search";
constexpr char kFinder[] = "finder";

// The modules a normal start has imported before any script's folder can be searched.
bool IsCodecModule(const char* name) {
  return std::strcmp(name, "encodings") == 0 || std::strcmp(name, "codecs") == 0;
}

// Sets sys.<name> to value (nullptr removes it), keeping a pending error of the caller's.
void RestoreSysObject(const char* name, PyObject* value) {
  PyObject *type = nullptr, *error = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &error, &traceback);
  if (PySys_SetObject(const_cast<char*>(name), value) != 0) PyErr_Clear();
  PyErr_Restore(type, error, traceback);
}

// Imports "encodings" (and with it "codecs"), with sys.path the standard library's folders and
// no finder on sys.meta_path. Tried once per run: true when the codecs are loaded; false when
// they cannot be, with the interpreter's error pending the first time.
bool LoadCodecs(PyObject* state) {
  if (PyDict_GetItemString(state, kTried) != nullptr)
    return PyDict_GetItemString(state, kSearch) != nullptr;
  if (PyDict_SetItemString(state, kTried, Py_True) != 0) return false;

  PyObject* stdlib_path = PyDict_GetItemString(state, kPath);  // borrowed
  PyRef only_stdlib(stdlib_path != nullptr ? PyList_GetSlice(stdlib_path, 0, PY_SSIZE_T_MAX)
                                           : nullptr);
  PyRef no_finders(PyList_New(0));
  if (!only_stdlib || !no_finders) return false;
  PyObject* path = PySys_GetObject(const_cast<char*>("path"));
  PyObject* meta_path = PySys_GetObject(const_cast<char*>("meta_path"));
  Py_XINCREF(path);
  Py_XINCREF(meta_path);
  PyRef saved_path(path), saved_meta_path(meta_path);

  bool isolated = PySys_SetObject(const_cast<char*>("path"), only_stdlib.get()) == 0 &&
                  PySys_SetObject(const_cast<char*>("meta_path"), no_finders.get()) == 0;
  PyRef encodings(isolated ? PyImport_ImportModule("encodings") : nullptr);
  RestoreSysObject("path", saved_path.get());
  RestoreSysObject("meta_path", saved_meta_path.get());
  if (!encodings) return false;

  PyRef search(PyObject_GetAttrString(encodings.get(), "search_function"));
  return search && PyDict_SetItemString(state, kSearch, search.get()) == 0;
}

// The registered search function, search(name). Importing the codecs registers their own
// search function after this one, so from then on this one leaves every lookup to them; only
// the lookup that loads them, which counted the search functions before, is answered here.
PyObject* SearchCodecs(PyObject* state, PyObject* args) {
  PyObject* name;
  if (!PyArg_ParseTuple(args, "O:search", &name)) return nullptr;
  if (PyDict_GetItemString(state, kTried) != nullptr) Py_RETURN_NONE;
  if (!LoadCodecs(state)) return nullptr;
  return PyObject_CallFunctionObjArgs(PyDict_GetItemString(state, kSearch), name, nullptr);
}

// finder.find_module(fullname, path=None): itself, as the loader, for the two top-level names.
PyObject* FindCodecModule(PyObject* state, PyObject* args) {
  const char* fullname;
  PyObject* package_path = Py_None;
  if (!PyArg_ParseTuple(args, "s|O:find_module", &fullname, &package_path)) return nullptr;
  PyObject* finder = PyDict_GetItemString(state, kFinder);  // borrowed
  if (package_path != Py_None || !IsCodecModule(fullname) || finder == nullptr) Py_RETURN_NONE;
  Py_INCREF(finder);
  return finder;
}

// loader.load_module(fullname): the standard library's module of that name.
PyObject* LoadCodecModule(PyObject* state, PyObject* args) {
  const char* fullname;
  if (!PyArg_ParseTuple(args, "s:load_module", &fullname)) return nullptr;
  PyObject* module = nullptr;
  if (LoadCodecs(state)) module = PyDict_GetItemString(PyImport_GetModuleDict(), fullname);
  if (module == nullptr) {
    if (!PyErr_Occurred()) PyErr_Format(PyExc_ImportError, "No module named %s", fullname);
    return nullptr;
  }
  Py_INCREF(module);
  return module;
}

// The interpreter keeps pointers to these descriptions for as long as the functions live.
PyMethodDef search_method = {"search", SearchCodecs, METH_VARARGS, nullptr};
PyMethodDef find_module_method = {"find_module", FindCodecModule, METH_VARARGS, nullptr};
PyMethodDef load_module_method = {"load_module", LoadCodecModule, METH_VARARGS, nullptr};

}  // namespace

Status InstallLazyCodecs(const std::vector<std::string>& stdlib_path) {
  PyRef state(PyDict_New());
  PyRef path(PyList_New(0));
  bool made = state && path && PyDict_SetItemString(state.get(), kPath, path.get()) == 0;
  for (const std::string& folder : stdlib_path) {
    PyRef entry(made ? PyString_FromString(folder.c_str()) : nullptr);
    made = entry && PyList_Append(path.get(), entry.get()) == 0;
  }
  PyRef search(made ? PyCFunction_NewEx(&search_method, state.get(), nullptr) : nullptr);
  PyRef finder(search ? NewObjectWithMethods(
                            "CodecFinder", {&find_module_method, &load_module_method}, state.get())
                      : nullptr);
  PyObject* meta_path = PySys_GetObject(const_cast<char*>("meta_path"));  // borrowed
  if (!finder || PyDict_SetItemString(state.get(), kFinder, finder.get()) != 0 ||
      meta_path == nullptr || !PyList_Check(meta_path) ||
      PyList_Insert(meta_path, 0, finder.get()) != 0 || PyCodec_Register(search.get()) != 0) {
    PyErr_Clear();
    return Fail("cannot install the codecs' loader");
  }
  return Done{};
}

bool IsCodecEveryInterpreterHas(const std::string& codec_name) {
  // As the C library names them: the C locale's, and the common ones of Unix systems.
  constexpr std::string_view kCodecs[] = {"UTF-8", "ANSI_X3.4-1968", "ISO-8859-1", "ISO-8859-15"};
  for (std::string_view known : kCodecs) {
    if (codec_name == known) return true;
  }
  return false;
}

}  // namespace fwlaunch::interpreter
