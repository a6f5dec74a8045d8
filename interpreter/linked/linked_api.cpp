#include <Python.h>

#include "interpreter/linked/linked_api.h"

namespace fwlaunch::interpreter {

// The table's types name the interpreter's objects opaquely; these are the same functions.
PythonApi LinkedPythonApi() {
  PythonApi api{};
#define FWLAUNCH_LINK(type, name) api.name = reinterpret_cast<std::type_identity_t<type>>(&name);
  FWLAUNCH_PYTHON_EXPORTS(FWLAUNCH_LINK)
#undef FWLAUNCH_LINK
  return api;
}

}  // namespace fwlaunch::interpreter
