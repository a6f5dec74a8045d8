/* An extension module built as a vendor builds one: MSVC's ABI and C runtime (msvcr90.dll),
   the release's own pyconfig.h, python27.dll reached through an import library. Each function
   crosses a seam where two compilers' ABIs could part: variadic calls, 64-bit integers and
   doubles, structures passed and returned by value, data imported from the interpreter, a type
   object's layout, and memory of two C runtimes each freed by its own. */
#include <Python.h>
#include <timefuncs.h>

/* The C runtime's static start-up code defines these in a vendor's build; this module links
   against msvcr90.dll alone. */
int _fltused = 1;
int __stdcall DllMain(void *module, unsigned long reason, void *reserved) {
  (void)module;
  (void)reason;
  (void)reserved;
  return 1;
}

static PyObject *echo(PyObject *self, PyObject *args) {
  const char *text;
  Py_ssize_t length;
  int small;
  double real;
  PY_LONG_LONG big;
  Py_complex z;
  (void)self;
  if (!PyArg_ParseTuple(args, "s#idLD:echo", &text, &length, &small, &real, &big, &z)) return NULL;
  return Py_BuildValue("(s#idLD)", text, length, small, real, big, &z);
}

/* Formatted by msvcr90 itself, whose 64-bit conversion is its own %I64d. */
static PyObject *format(PyObject *self, PyObject *args) {
  int small;
  PY_LONG_LONG big;
  double real;
  char buffer[128];
  int written;
  (void)self;
  if (!PyArg_ParseTuple(args, "iLd:format", &small, &big, &real)) return NULL;
  written = _snprintf(buffer, sizeof buffer, "%d|%I64d|%.3f", small, big, real);
  if (written < 0 || written >= (int)sizeof buffer) {
    PyErr_SetString(PyExc_OverflowError, "msvcabi.format: too long");
    return NULL;
  }
  return PyString_FromStringAndSize(buffer, written);
}

/* time_t is 64 bits wide in this compiler's runtime, and so in the interpreter's interface. */
static PyObject *to_time_t(PyObject *self, PyObject *args) {
  double seconds;
  time_t converted;
  (void)self;
  if (!PyArg_ParseTuple(args, "d:to_time_t", &seconds)) return NULL;
  converted = _PyTime_DoubleToTimet(seconds);
  if (converted == (time_t)-1 && PyErr_Occurred()) return NULL;
  return PyLong_FromLongLong(converted);
}

/* Py_complex is 16 bytes: passed on the stack, returned through a hidden pointer. */
static PyObject *difference(PyObject *self, PyObject *args) {
  Py_complex a, b;
  (void)self;
  if (!PyArg_ParseTuple(args, "DD:difference", &a, &b)) return NULL;
  return PyComplex_FromCComplex(_Py_c_diff(a, b));
}

/* Joins strings in a buffer of msvcr90's heap, with the interpreter's lock released while it
   copies: the string object's layout is read through the release's own macros. */
static PyObject *join(PyObject *self, PyObject *args) {
  PyObject *items, *joined;
  Py_ssize_t count, i, total = 0, at = 0;
  char *buffer;
  (void)self;
  if (!PyArg_ParseTuple(args, "O!:join", &PyTuple_Type, &items)) return NULL;
  count = PyTuple_GET_SIZE(items);
  for (i = 0; i < count; ++i) {
    if (!PyString_Check(PyTuple_GET_ITEM(items, i))) {
      PyErr_SetString(PyExc_TypeError, "msvcabi.join: strings only");
      return NULL;
    }
    total += PyString_GET_SIZE(PyTuple_GET_ITEM(items, i));
  }
  buffer = (char *)malloc(total ? (size_t)total : 1);
  if (buffer == NULL) return PyErr_NoMemory();
  Py_BEGIN_ALLOW_THREADS
  for (i = 0; i < count; ++i) {
    PyObject *item = PyTuple_GET_ITEM(items, i);
    memcpy(buffer + at, PyString_AS_STRING(item), (size_t)PyString_GET_SIZE(item));
    at += PyString_GET_SIZE(item);
  }
  Py_END_ALLOW_THREADS
  joined = PyString_FromStringAndSize(buffer, total);
  free(buffer);
  return joined;
}

static PyObject *refuse(PyObject *self, PyObject *unused) {
  (void)self;
  (void)unused;
  PyErr_SetString(PyExc_ValueError, "refused by msvcabi");
  return NULL;
}

static PyObject *nothing(PyObject *self, PyObject *unused) {
  (void)self;
  (void)unused;
  Py_RETURN_NONE;
}

/* Back into Python with positional and keyword arguments. */
static PyObject *call(PyObject *self, PyObject *args, PyObject *keywords) {
  PyObject *function, *rest, *result;
  (void)self;
  if (PyTuple_GET_SIZE(args) < 1) {
    PyErr_SetString(PyExc_TypeError, "msvcabi.call: a callable first");
    return NULL;
  }
  function = PyTuple_GET_ITEM(args, 0);
  rest = PyTuple_GetSlice(args, 1, PyTuple_GET_SIZE(args));
  if (rest == NULL) return NULL;
  result = PyObject_Call(function, rest, keywords);
  Py_DECREF(rest);
  return result;
}

/* A type of the module's own: the type object's layout as MSVC lays it out. */
typedef struct {
  PyObject_HEAD PY_LONG_LONG total;
} Counter;

static PyObject *Counter_add(Counter *self, PyObject *args) {
  PY_LONG_LONG step;
  if (!PyArg_ParseTuple(args, "L:add", &step)) return NULL;
  self->total += step;
  return PyLong_FromLongLong(self->total);
}

static PyMethodDef counter_methods[] = {
    {"add", (PyCFunction)Counter_add, METH_VARARGS, "Adds and answers the total."},
    {NULL, NULL, 0, NULL},
};

static PyTypeObject CounterType = {
    PyVarObject_HEAD_INIT(NULL, 0) "msvcabi.Counter", /* tp_name */
    sizeof(Counter),                                  /* tp_basicsize */
};

static PyMethodDef methods[] = {
    {"echo", echo, METH_VARARGS, "Its arguments back, through the variadic calls."},
    {"format", format, METH_VARARGS, "An int, a long long and a double, as msvcr90 prints them."},
    {"difference", difference, METH_VARARGS, "a - b of two complex numbers."},
    {"to_time_t", to_time_t, METH_VARARGS, "Seconds as the interpreter's time_t."},
    {"join", join, METH_VARARGS, "A tuple of strings joined."},
    {"refuse", refuse, METH_NOARGS, "Raises ValueError."},
    {"nothing", nothing, METH_NOARGS, "None."},
    {"call", (PyCFunction)call, METH_VARARGS | METH_KEYWORDS, "call(f, *args, **kw)."},
    {NULL, NULL, 0, NULL},
};

PyMODINIT_FUNC initmsvcabi(void) {
  PyObject *module;
  CounterType.tp_flags = Py_TPFLAGS_DEFAULT;
  CounterType.tp_methods = counter_methods;
  CounterType.tp_new = PyType_GenericNew;
  if (PyType_Ready(&CounterType) < 0) return;
  module = Py_InitModule("msvcabi", methods);
  if (module == NULL) return;
  Py_INCREF(&CounterType);
  PyModule_AddObject(module, "Counter", (PyObject *)&CounterType);
  PyModule_AddIntConstant(module, "msc_ver", _MSC_VER);
}
