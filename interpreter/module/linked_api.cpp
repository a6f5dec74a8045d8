#include <Python.h>

#include "interpreter/module/linked_api.h"
#include "interpreter/module/table_entry_check.h"

namespace fwlaunch::interpreter {

// Each entry's type checked against the interpreter's own declaration; the table names the
// interpreter's objects opaquely, so these are the same functions.
FWLAUNCH_PYTHON_EXPORTS(FWLAUNCH_CHECK_TABLE_ENTRY)

PythonApi LinkedPythonApi() {
  PythonApi api{};
#define FWLAUNCH_LINK(type, name) api.name = reinterpret_cast<std::type_identity_t<type>>(&name);
  FWLAUNCH_PYTHON_EXPORTS(FWLAUNCH_LINK)
#undef FWLAUNCH_LINK
  return api;
}

}  // namespace fwlaunch::interpreter
