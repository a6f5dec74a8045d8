// Small objects whose methods are C functions bound to data: the finders and loaders the
// launcher hangs into the interpreter's import machinery.
#pragma once

#include <Python.h>

#include <initializer_list>

namespace fwlaunch::interpreter {

// A new instance of a new class named class_name whose attributes are the given methods as
// built-in functions bound to data (each under its ml_name); nullptr, with the interpreter's
// error pending, when it cannot be made. The interpreter keeps pointers to the descriptions for
// as long as the functions live: pass descriptions of static lifetime.
PyObject* NewObjectWithMethods(const char* class_name, std::initializer_list<PyMethodDef*> methods,
                               PyObject* data);

}  // namespace fwlaunch::interpreter
