// An owned reference to an interpreter object, released through the interpreter's table when
// its owner goes.
#pragma once

#include <utility>

#include "interpreter/python_api.h"

namespace fwlaunch::interpreter {

class ObjectRef {
 public:
  ObjectRef(const PythonApi& api, PyObjectPointer object) : api_(&api), object_(object) {}
  ObjectRef(ObjectRef&& other) noexcept
      : api_(other.api_), object_(std::exchange(other.object_, nullptr)) {}
  ObjectRef& operator=(ObjectRef&&) = delete;
  ObjectRef(const ObjectRef&) = delete;
  ObjectRef& operator=(const ObjectRef&) = delete;
  ~ObjectRef() { api_->Py_DecRef(object_); }  // Py_DecRef takes null as well

  PyObjectPointer get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference over, to a call that steals it.
  PyObjectPointer release() { return std::exchange(object_, nullptr); }

 private:
  const PythonApi* api_;
  PyObjectPointer object_;
};

}  // namespace fwlaunch::interpreter
