// An owned reference to an interpreter object, released when its owner goes.
#pragma once

#include <Python.h>

#include <utility>

namespace fwlaunch::interpreter {

class PyRef {
 public:
  explicit PyRef(PyObject* object = nullptr) : object_(object) {}
  PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  PyRef& operator=(PyRef&&) = delete;
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  ~PyRef() { Py_XDECREF(object_); }

  PyObject* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference over, to a call that steals it.
  PyObject* release() { return std::exchange(object_, nullptr); }

 private:
  PyObject* object_;
};

}  // namespace fwlaunch::interpreter
