/* An extension module carried as pydtest.pyd. */
#include <Python.h>

static PyObject *answer(PyObject *self, PyObject *unused) {
  (void)self;
  (void)unused;
  return PyInt_FromLong(42);
}

static PyMethodDef methods[] = {
    {"answer", answer, METH_NOARGS, "The answer."},
    {NULL, NULL, 0, NULL},
};

PyMODINIT_FUNC initpydtest(void) { Py_InitModule("pydtest", methods); }
