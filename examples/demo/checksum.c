/* checksum.pyd: the Intel HEX record checksum, the two's complement of the byte sum. */
/* "s#" then gives the length as Py_ssize_t. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>

static PyObject *record_checksum(PyObject *self, PyObject *args) {
  const unsigned char *bytes;
  Py_ssize_t length, i;
  unsigned int sum = 0;
  (void)self;
  if (!PyArg_ParseTuple(args, "s#:record_checksum", &bytes, &length)) return NULL;
  for (i = 0; i < length; ++i) sum += bytes[i];
  return PyInt_FromLong((long)((0x100 - (sum & 0xff)) & 0xff));
}

static PyMethodDef methods[] = {
    {"record_checksum", record_checksum, METH_VARARGS,
     "record_checksum(bytes) -> the Intel HEX checksum of a record's bytes"},
    {NULL, NULL, 0, NULL},
};

PyMODINIT_FUNC initchecksum(void) { Py_InitModule("checksum", methods); }
