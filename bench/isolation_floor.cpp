// The floor of any launcher that runs the script in a child process: fork, then in the child
// start the interpreter as it starts by itself, import Launch from a folder where the modules
// already are, call the function and finish; the parent waits. No library, no extraction, no
// lock, no purge. Usage: isolation_floor FOLDER FUNCTION
#include <Python.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: isolation_floor FOLDER FUNCTION\n");
    return 2;
  }
  pid_t child = fork();
  if (child == 0) {
    static char home[] = FWLAUNCH_BENCH_PYTHON_HOME;
    Py_SetPythonHome(home);
    Py_OptimizeFlag = 2;
    Py_NoSiteFlag = 1;
    Py_Initialize();
    PyObject* path = PySys_GetObject(const_cast<char*>("path"));
    PyObject* folder = PyString_FromString(argv[1]);
    PyList_Insert(path, 0, folder);
    Py_DECREF(folder);
    PyObject* module = PyImport_ImportModule("Launch");
    PyObject* result = module ? PyObject_CallMethod(module, argv[2], nullptr) : nullptr;
    int status = result ? static_cast<int>(PyInt_AsLong(result)) : -1;
    Py_XDECREF(result);
    Py_XDECREF(module);
    Py_Finalize();
    _exit(status);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}
