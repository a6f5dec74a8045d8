#include <Python.h>

#include "interpreter/module/method_object.h"

#include "interpreter/module/py_ref.h"

namespace fwlaunch::interpreter {

PyObject* NewObjectWithMethods(const char* class_name, std::initializer_list<PyMethodDef*> methods,
                               PyObject* data) {
  PyRef type(PyObject_CallFunction(reinterpret_cast<PyObject*>(&PyType_Type),
                                   const_cast<char*>("s(O){}"), class_name, &PyBaseObject_Type));
  PyRef instance(type ? PyObject_CallObject(type.get(), nullptr) : nullptr);
  if (!instance) return nullptr;
  for (PyMethodDef* method : methods) {
    PyRef function(PyCFunction_NewEx(method, data, nullptr));
    if (!function || PyObject_SetAttrString(instance.get(), method->ml_name, function.get()) != 0)
      return nullptr;
  }
  return instance.release();
}

}  // namespace fwlaunch::interpreter
