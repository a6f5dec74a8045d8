// The interpreter fwpack links is started once, with -OO's optimisation and without its site
// module, the first time a source is compiled, and shut down when the program ends.
#include <Python.h>
#include <marshal.h>

#include "tools/fwpack/python_compile.h"

#include <memory>

namespace fwlaunch::fwpack {

namespace {

class Compiler {
 public:
  Compiler() {
    Py_OptimizeFlag = 2;
    Py_NoSiteFlag = 1;
    // Compiling needs nothing of the standard library: no search for it, and no complaint
    // where it is not found, nor anything taken from the environment.
    Py_FrozenFlag = 1;
    Py_IgnoreEnvironmentFlag = 1;
    Py_InitializeEx(0);
  }
  Compiler(const Compiler&) = delete;
  Compiler& operator=(const Compiler&) = delete;
  ~Compiler() { Py_Finalize(); }
};

// The pending error as one line: "SyntaxError: invalid syntax (Launch.py, line 3)".
std::string ErrorText() {
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  std::string text = "does not compile";
  if (type != nullptr && value != nullptr) {
    PyObject* name = PyObject_GetAttrString(type, "__name__");
    PyObject* message = PyObject_Str(value);
    if (name != nullptr && message != nullptr && PyString_Check(name) && PyString_Check(message))
      text = std::string(PyString_AsString(name)) + ": " + PyString_AsString(message);
    Py_XDECREF(name);
    Py_XDECREF(message);
  }
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(traceback);
  PyErr_Clear();
  return text;
}

void PutU32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

}  // namespace

Result<std::string> CompileOptimized(const std::string& source, const std::string& filename,
                                     std::uint32_t modification_time) {
  static Compiler compiler;  // lives until the program ends, as the interpreter must
  // The compiler reads a NUL-terminated text, and a source with a NUL byte is no Python.
  if (source.find('\0') != std::string::npos) return Fail("holds a NUL byte: no Python source");
  PyObject* code = Py_CompileString(source.c_str(), filename.c_str(), Py_file_input);
  if (code == nullptr) return Fail(ErrorText());
  PyObject* marshalled = PyMarshal_WriteObjectToString(code, Py_MARSHAL_VERSION);
  Py_DECREF(code);
  if (marshalled == nullptr) return Fail(ErrorText());
  std::string bytes;
  PutU32(bytes, static_cast<std::uint32_t>(PyImport_GetMagicNumber()));
  PutU32(bytes, modification_time);
  bytes.append(PyString_AsString(marshalled), static_cast<std::size_t>(PyString_Size(marshalled)));
  Py_DECREF(marshalled);
  return bytes;
}

}  // namespace fwlaunch::fwpack
