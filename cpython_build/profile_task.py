# The training run of the optimised interpreter: what fwlaunch's scripts make it do, quickly.
# Each part starts the interpreter as fwlaunch does (-OO -S, compiled modules from a folder)
# or walks data in pure Python as conversion scripts do. Run by the freshly built, instrumented
# interpreter from its build folder; it writes DONE_MARKER last, so that the recipe can tell a
# training that ran from one that failed (the interpreter's own make rule ignores failures).
# Its project files are listed in inputs, which the cache key covers.
# Usage: python -OO -S profile_task.py PROJECT_ROOT DONE_MARKER
# (-OO as fwlaunch runs scripts, so that the demo's compiled modules load here too)
import ctypes
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib


def check(condition, what):
    # Not assert: the training runs with -OO, which drops asserts.
    if not condition:
        raise SystemExit('profile_task: %s went wrong' % what)


def run(*arguments):
    subprocess.check_call([sys.executable] + list(arguments))


def compile_modules(sources, folder):
    # As fwpack does: bytecode without docstrings and asserts.
    for source in sources:
        shutil.copy(source, folder)
    names = [os.path.join(folder, os.path.basename(source)) for source in sources]
    run('-OO', '-c', 'import py_compile, sys\nfor name in sys.argv[1:]: '
        'py_compile.compile(name, doraise=True)', *names)
    for name in names:
        os.remove(name)


def start_ups(folder, starts):
    # A run's start and end: the interpreter with no site, then Launch imported from .pyo.
    for _ in range(starts):
        run('-OO', '-S', '-c', 'pass')
        run('-OO', '-S', '-c', 'import sys; sys.path.insert(0, %r); import Launch, firmware'
            % folder)


def demo_conversion(root, folder):
    # The demo's Intel HEX, checksums in Python (no extension module here), of a megabyte.
    payload = os.path.join(folder, 'payload.bin')
    run(os.path.join(root, 'examples', 'demo', 'make_payload.py'), payload)
    sys.path[:0] = [folder]
    import Launch
    with open(payload, 'rb') as source:
        data = source.read()
    data = (data * (1024 * 1024 // len(data) + 1))[:1024 * 1024]
    hex_text = Launch._intel_hex(data)
    check(hex_text.endswith(':00000001FF\n'), 'the HEX conversion')


def packing_and_libraries():
    # struct, zlib and ctypes as scripts use them on firmware entries.
    body = ''.join(struct.pack('<IHBB', i, i & 0xffff, i & 0xff, 0) for i in xrange(40000))
    fields = [struct.unpack_from('<IHBB', body, offset) for offset in xrange(0, len(body), 8)]
    check(fields[-1][0] == 39999, 'struct')
    for level in (1, 6, 9):
        packed = zlib.compress(body, level)
        check(zlib.decompress(packed) == body, 'zlib')
        check(zlib.crc32(body) == zlib.crc32(zlib.decompress(packed)), 'zlib.crc32')
    # The C library the interpreter itself calls.
    libc = ctypes.cdll.msvcrt if sys.platform == 'win32' else ctypes.CDLL('libc.so.6')
    libc.strlen.argtypes = [ctypes.c_char_p]
    transfer = ctypes.create_string_buffer(1 << 20)
    for i in xrange(2000):
        ctypes.memmove(transfer, body[i:i + 64], 64)
        check(libc.strlen('\x01KQZVNPL') == 8, 'ctypes')
        check(ctypes.string_at(transfer, 64) == body[i:i + 64], 'ctypes.memmove')


def main(root, done_marker, starts='15'):
    folder = tempfile.mkdtemp(prefix='fwlaunch-profile.')
    try:
        compile_modules([os.path.join(root, 'examples', 'demo', 'Launch.py'),
                         os.path.join(root, 'firmware_helper', 'firmware.py')], folder)
        start_ups(folder, int(starts))
        demo_conversion(root, folder)
        packing_and_libraries()
    finally:
        shutil.rmtree(folder)
    with open(done_marker, 'w') as done:
        done.write('trained\n')


if __name__ == '__main__':
    main(*sys.argv[1:])
