# Reads the firmware image through the script library, the same way fwlaunch does, from the
# path that fwlaunch passes to every script function.
import ctypes

ACCESS_TOKEN = '\x01KQZVNPL'
CONTEXT_SIZE = 1024
LIST_SIZE = 1024
TRANSFER_SIZE = 0xA00000
MODE_SIZE = 0
MODE_READ = 1


class FirmwareError(Exception):
    pass


class Firmware(object):
    def __init__(self, library, image):
        try:
            self._library = ctypes.CDLL(library)
        except OSError as error:
            raise FirmwareError('cannot load the script library %s: %s' % (library, error))
        self._library.Py_QueryCfg.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p]
        self._library.Py_OpenFirmware.argtypes = [ctypes.c_char_p, ctypes.c_void_p,
                                                  ctypes.c_void_p]
        self._library.Py_ReadFileInFW.argtypes = [ctypes.c_void_p, ctypes.c_char_p,
                                                  ctypes.c_int32, ctypes.c_int32,
                                                  ctypes.c_void_p, ctypes.c_int32]
        for function in (self._library.Py_QueryCfg, self._library.Py_OpenFirmware,
                         self._library.Py_ReadFileInFW):
            function.restype = ctypes.c_int32
        self._image = image
        self._context = ctypes.create_string_buffer(ACCESS_TOKEN, CONTEXT_SIZE)
        self._transfer = ctypes.create_string_buffer(TRANSFER_SIZE)
        if self._library.Py_OpenFirmware(image, self._transfer, self._context) != 1:
            raise FirmwareError('the script library cannot open %s' % image)

    def config(self, key):
        value = ctypes.create_string_buffer(LIST_SIZE)
        self._library.Py_QueryCfg(self._image, key, value)
        return value.value

    def modules(self):
        return [name for name in self.config('SCRIPT_PYD').split('\n') if name]

    def _call(self, name, mode):
        ctypes.memmove(self._transfer, ACCESS_TOKEN, len(ACCESS_TOKEN))
        return self._library.Py_ReadFileInFW(self._context, name, 0, TRANSFER_SIZE,
                                             self._transfer, mode)

    def size(self, name):
        return self._call(name, MODE_SIZE)

    def read(self, name):
        count = self._call(name, MODE_READ)
        if count <= 0:
            raise FirmwareError('no readable entry %s' % name)
        return ctypes.string_at(self._transfer, count)
