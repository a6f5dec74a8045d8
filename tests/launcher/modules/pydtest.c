/* An extension module carried as pydtest.pyd. */
#include <Python.h>

static PyObject *answer(PyObject *self, PyObject *unused) {
  (void)self;
  (void)unused;
  return PyInt_FromLong(42);
}

/* A fault inside an extension module, as a broken one would make: a real one even in the
   sanitizer build, whose null-pointer check would otherwise end the process first. */
#if defined(__GNUC__)
__attribute__((no_sanitize("undefined")))
#endif
static PyObject *
crash(PyObject *self, PyObject *unused) {
  (void)self;
  (void)unused;
  *(volatile int *)0 = 0;
  return NULL;
}

static PyMethodDef methods[] = {
    {"answer", answer, METH_NOARGS, "The answer."},
    {"crash", crash, METH_NOARGS, "Writes through a null pointer."},
    {NULL, NULL, 0, NULL},
};

PyMODINIT_FUNC initpydtest(void) { Py_InitModule("pydtest", methods); }
