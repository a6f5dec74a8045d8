// Checks an entry of the interpreter's table (interpreter/python_api.h) against the
// interpreter's own declaration, at compile time: the table names the interpreter's objects
// opaquely, so the declared type is first mapped the same way, and a difference stops the build.
// Include after <Python.h>.
#pragma once

#include <type_traits>

#include "interpreter/python_api.h"

namespace fwlaunch::interpreter {

// How the table spells an interpreter type: PyObject* is the opaque pointer, a gil state an
// int; function types are mapped part by part.
template <typename T>
struct TableType {
  using type = T;
};
template <>
struct TableType<PyObject*> {
  using type = PyObjectPointer;
};
template <>
struct TableType<PyObject**> {
  using type = PyObjectPointer*;
};
template <>
struct TableType<PyGILState_STATE> {
  using type = int;
};
template <typename R, typename... A>
struct TableType<R (*)(A...)> {
  using type = typename TableType<R>::type (*)(typename TableType<A>::type...);
};
template <typename R, typename... A>
struct TableType<R (*)(A..., ...)> {
  using type = typename TableType<R>::type (*)(typename TableType<A>::type..., ...);
};

}  // namespace fwlaunch::interpreter

#define FWLAUNCH_CHECK_TABLE_ENTRY(table_type, name)                                      \
  static_assert(std::is_same_v<fwlaunch::interpreter::TableType<decltype(&::name)>::type, \
                               std::type_identity_t<table_type>>,                         \
                "the table's type of " #name " is not the interpreter's");
