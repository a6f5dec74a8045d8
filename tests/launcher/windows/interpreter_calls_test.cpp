// What only a double of python27.dll can show (support/windows/python27_double.cpp): which of
// the interpreter's functions the launcher calls, with what, and in which order. Everything a
// script can see is tested against the real interpreter (fwlaunch_windows_test.cpp and the
// suite both systems share).
#include "tests/launcher/fwlaunch_fixture.h"

namespace fwlaunch::testing {
namespace {

TEST_F(FwlaunchTest, TheInterpreterIsUsedInTheDocumentedOrder) {
  // The double plays a Launch module written as text.
  WriteFile(Firmware() / "Launch.pyo", "Seven return 7\n");
  ASSERT_EQ(Launch("Seven").exit_status, 7);
  std::string work = WorkingFolder();
  std::string library = fs::absolute(FWLAUNCH_TESTING_BINARY).parent_path().string() + "\\";
  std::string expected = "Py_SetPythonHome " + work +
                         "\n"
                         "Py_Initialize optimize=2 nosite=1\n"
                         "PyList_New 0\n"
                         "PyString_FromString " +
                         work +
                         "\n"
                         "PyList_Append " +
                         work +
                         "\n"
                         "PyString_FromString " +
                         library +
                         "python27.zip\n"
                         "PyList_Append " +
                         library +
                         "python27.zip\n"
                         "PyString_FromString " +
                         library +
                         "DLLs\n"
                         "PyList_Append " +
                         library +
                         "DLLs\n"
                         "PySys_SetObject path\n"
                         // sys.argv: [''].
                         "PyList_New 0\n"
                         "PyString_FromString \n"
                         "PyList_Append \n"
                         "PySys_SetObject argv\n"
                         "PyString_FromString Launch\n"
                         "PyImport_Import Launch\n"
                         "PyModule_GetDict\n"
                         "PyDict_GetItemString Seven\n"
                         "PyCallable_Check\n"
                         "PyTuple_New 2\n"
                         "Py_BuildValue s\n"
                         "PyTuple_SetItem 0\n"
                         "Py_BuildValue s\n"
                         "PyTuple_SetItem 1\n"
                         "PyGILState_Ensure\n"
                         "PyObject_CallObject 2\n"
                         "PyArg_Parse i\n"
                         "PyGILState_Release\n"
                         "Py_Finalize\n";
  EXPECT_EQ(ReadFile(Work() / "python_calls.log"), expected);
}

}  // namespace
}  // namespace fwlaunch::testing
