# firmware: reading the firmware image from a script, through the script library, the same way
# fwlaunch does. Pack it beside Launch in any firmware (fwpack create IMAGE Launch.py firmware.py
# compiles both) and use it from a script function, which fwlaunch calls with the library's path
# and the image's path first:
#
#     import firmware
#
#     def ToHex(library, image, out):
#         fw = firmware.Firmware(library, image)   # loads the library, opens the image
#         fw.modules()                            # the module list: ['Launch.pyo', ...]
#         fw.config('VERSION')                    # any config text, '' when absent
#         fw.size('payload.bin')                  # an entry's size, 0 when absent
#         data = fw.read('payload.bin')           # its bytes; FirmwareError when unreadable
#
# The constants are those of the library's C interface (fwlaunch/script_library.h).
import ctypes

ACCESS_TOKEN = '\x01KQZVNPL'
CONTEXT_SIZE = 1024
LIST_SIZE = 1024
TRANSFER_SIZE = 0xA00000
MODE_SIZE = 0
MODE_READ = 1


class FirmwareError(Exception):
    # The library cannot be loaded, the image not opened, or an entry not read.
    pass


class Firmware(object):
    # One image opened through one script library; entries up to 10 MiB each.

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
