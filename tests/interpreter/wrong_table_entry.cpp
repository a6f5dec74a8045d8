// Must not compile: the interpreter's table with an entry whose type is not the interpreter's
// (the test AWrongTableEntryStopsTheBuild). The first entry is right and passes.
#include <Python.h>

#include "interpreter/module/table_entry_check.h"

using fwlaunch::interpreter::PyObjectPointer;
using fwlaunch::interpreter::PySize;

FWLAUNCH_CHECK_TABLE_ENTRY(PyObjectPointer (*)(PySize), PyList_New)
FWLAUNCH_CHECK_TABLE_ENTRY(PyObjectPointer (*)(int), PyTuple_New)
