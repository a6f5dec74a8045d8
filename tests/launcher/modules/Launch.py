# Script functions that exercise every part of the launcher's contract with Launch.
# Only sys at the top: what a function needs it imports itself, so that no import here
# hides what the launcher itself must provide.
import sys

NOT_CALLABLE = 5


def Echo(*args):
    # Raw bytes, NUL between arguments, so the caller sees exactly what arrived.
    sys.stdout.write('\0'.join(args))
    return len(args)


def Seven(*args):
    return 7


def Nothing(*args):
    return None


def Raise(*args):
    raise RuntimeError('the conversion failed')


def RaiseInLibrary(*args):
    # Raises from inside the standard library: json's scanner, on an unfinished object.
    import json
    json.loads('{')


def Exit(*args):
    raise SystemExit(9)


def TooLarge(*args):
    return 2 ** 31


def Smallest(*args):
    return -2 ** 31


def Text(*args):
    return '7'


def Boolean(*args):
    return True


def EndProcess(*args):
    import os
    sys.stdout.flush()
    os._exit(3)


def CrashInExtension(*args):
    import pydtest
    pydtest.crash()


def Interrupt(library, image, marker):
    # Waits for the test's Ctrl-C, which ends it with KeyboardInterrupt.
    import time
    _mark(marker)
    time.sleep(30)
    return 0


def _await_interrupt(seconds, marker=None):
    # Whether a KeyboardInterrupt came within that time, saying it is ready (the marker) only
    # once it would catch one; a sleep that another signal cut short goes on.
    import time
    deadline = time.time() + seconds
    try:
        if marker:
            _mark(marker)
        while time.time() < deadline:
            time.sleep(max(0, deadline - time.time()))
    except KeyboardInterrupt:
        return True
    return False


def CountInterrupts(library, image, marker, rounds='1'):
    # 10 plus the number of KeyboardInterrupts that arrive. Each round says it is ready (marker,
    # then marker.1, marker.2, ...) and waits for one; one too many, if any, comes within the
    # second after the last.
    count = 0
    for round in range(int(rounds)):
        count += _await_interrupt(30, marker if round == 0 else '%s.%d' % (marker, round))
    count += _await_interrupt(1)
    return 10 + count


def UseHelper(*args):
    import helper
    return helper.double(21)


def UseExtension(*args):
    import pydtest
    return pydtest.answer()


def UseStandardLibrary(*args):
    # No assert here: -OO compiles them away. Codecs first: importing other modules could
    # load them by the way.
    if 'abc'.encode('hex') != '616263' or u'\xe9'.encode('cp1252') != '\xe9':
        return 1
    import struct
    import zlib
    import ctypes
    if ctypes.sizeof(ctypes.c_int32) != 4:
        return 2
    return len(struct.pack('<I', zlib.crc32('abc') & 0xffffffff))


def Describe(*args):
    print 'optimize=%d no_site=%d' % (sys.flags.optimize, sys.flags.no_site)
    print 'path=%s' % '|'.join(sys.path)
    print 'prefix=%s' % sys.prefix
    print 'argv=%s' % ('absent' if not hasattr(sys, 'argv') else repr(sys.argv))
    print 'site=%s' % ('site' in sys.modules)
    return 0


def Codecs(library, image, order):
    # The codecs are the standard library's whatever the firmware carries under their names,
    # whether the script imports them before or after it first encodes text.
    if order == 'import-first':
        import codecs
        import encodings
    encoded = u'\u0436\xe9'.encode('utf_8')
    import codecs
    import encodings
    if hasattr(codecs, 'double') or hasattr(encodings, 'double'):
        return 1
    if encoded != '\xd0\xb6\xc3\xa9' or encoded.decode('utf_8') != u'\u0436\xe9':
        return 2
    if codecs.lookup('koi8_r').encode(u'\u0436')[0] != '\xd6':
        return 3
    try:
        u'x'.encode('no such codec')
        return 4
    except LookupError:
        pass
    import encodings.cp1252
    if not encodings.cp1252.__file__.startswith(encodings.__file__.rsplit('/', 1)[0]):
        return 5
    return 0


def Signals(*args):
    # What a normal start of the interpreter does about signals.
    import signal
    names = ['SIGINT', 'SIGPIPE', 'SIGXFSZ', 'SIGTERM', 'SIGHUP']
    print ' '.join('%s=%s' % (name, getattr(signal.getsignal(getattr(signal, name)), '__name__',
                                            signal.getsignal(getattr(signal, name))))
                   for name in names)
    return 0


def Encodings(*args):
    # What a normal start of the interpreter takes from the locale and the terminal.
    print 'fs=%s stdin=%s stdout=%s stderr=%s' % (
        sys.getfilesystemencoding(), sys.stdin.encoding, sys.stdout.encoding, sys.stderr.encoding)
    return 0


def Slow(library, image, status):
    import time
    import helper
    time.sleep(0.05)
    return helper.double(int(status)) // 2


def Nested(library, image, binary):
    # A run started from inside a run, with a copy of the script's environment as scripts often
    # pass one; where there is an alarm, it ends a deadlock instead of hanging the test.
    import os
    import signal
    import subprocess
    if hasattr(signal, 'alarm'):
        signal.alarm(20)
    return subprocess.call([binary, 'x', image, 'Seven'], env=dict(os.environ))


def Hold(library, image, log, seconds):
    # Writes "begin", and "end" so many seconds later, into the log.
    import time
    with open(log, 'ab') as out:
        out.write('begin\n')
    time.sleep(float(seconds))
    with open(log, 'ab') as out:
        out.write('end\n')
    return 0


def EndWithFaultCode(*args):
    # Ends the process as an access violation would (0xC0000005) on Windows.
    import os
    os._exit(-1073741819)


def _mark(marker):
    import os
    with open(marker + '.tmp', 'w') as out:
        out.write(str(os.getpid()))
    os.rename(marker + '.tmp', marker)


def AwaitSignal(library, image, marker):
    import signal
    import time
    received = []
    signal.signal(signal.SIGUSR1, lambda number, frame: received.append(number))
    _mark(marker)
    for _ in xrange(2000):
        if received:
            return 5
        time.sleep(0.01)
    return 1


def Sleep(library, image, marker):
    import time
    _mark(marker)
    time.sleep(30)
    return 0


def UsePackageExtension(*args):
    import pkg.pydtest
    return pkg.pydtest.answer()


def FinderBounds(library, image, elsewhere):
    # The .pyd finder answers for the working folder and its packages only, and never for a
    # built-in module's name.
    finder = [f for f in sys.meta_path if type(f).__name__ == 'PydFinder'][0]
    if finder.find_module('pydtest') is None:
        return 1
    if finder.find_module('outside', [elsewhere]) is not None:
        return 2
    if finder.find_module('sys') is not None:
        return 3
    return 0


def InterruptWithoutHandler(*args):
    # Ctrl-C arriving where Python has no handler for it (as during extraction).
    import os, signal, time
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    os.kill(os.getpid(), signal.SIGINT)
    time.sleep(30)
    return 0


def _leave_daemon(marker):
    # A background process, detached as a daemon is, with every descriptor the run had; it
    # says its process id through the marker, lives for 10 seconds and writes marker + '.done'
    # as it ends.
    import os
    import time
    if os.fork() == 0:
        os.setsid()
        if os.fork() == 0:
            _mark(marker)
            time.sleep(10)
            open(marker + '.done', 'w').close()
        os._exit(0)


def Daemon(library, image, marker):
    _leave_daemon(marker)
    return 0


def DaemonThenSleep(library, image, daemon_marker, marker):
    _leave_daemon(daemon_marker)
    return Sleep(library, image, marker)


def HoldUntil(library, image, marker, go):
    # Holds the run until the file go appears.
    import os
    import time
    _mark(marker)
    for _ in xrange(2000):
        if os.path.exists(go):
            return 0
        time.sleep(0.01)
    return 1


def CountFiles(library, image, folder):
    # How many plain files stand in the folder, as the exit status (at most 100).
    import os
    names = [name for name in os.listdir(folder) if os.path.isfile(os.path.join(folder, name))]
    return min(len(names), 100)


def Reach(*paths):
    # 0 when every path reaches what it names: a file opens, a folder lists.
    import os
    for path in paths:
        if os.path.isdir(path):
            os.listdir(path)
        else:
            open(path, 'rb').close()
    return 0


def KeepWhileOthersRun(library, image, folder, name, go, delay):
    # Writes folder/name, waits for the file go, then delay seconds more, and returns 0 when
    # its file is still there, 4 when a purge took it.
    import os
    import time
    path = os.path.join(folder, name)
    open(path, 'w').close()
    deadline = time.time() + 60
    while not os.path.exists(go) and time.time() < deadline:
        time.sleep(0.01)
    time.sleep(float(delay))
    return 0 if os.path.exists(path) else 4


def NestedKeepsFile(library, image, folder, binary):
    # Writes a file into folder, runs a nested run and returns 0 when the file outlived it,
    # 4 when the nested run purged under this one, the nested run's status otherwise.
    import os
    import subprocess
    path = os.path.join(folder, 'outer.dat')
    open(path, 'w').close()
    status = subprocess.call([binary, 'x', image, 'Seven'])
    if status != 7:
        return status
    return 0 if os.path.exists(path) else 4


def ParseArguments(library, image, *arguments):
    # The further arguments read with argparse, as a script written for a started interpreter
    # reads them: 20 plus --count, when sys.argv is what such an interpreter has.
    import argparse
    import sys
    if sys.argv != ['']:
        return 1
    parser = argparse.ArgumentParser(description='reads its further arguments')
    parser.add_argument('--count', type=int, default=0)
    parser.add_argument('name')
    parsed = parser.parse_args(list(arguments))
    return 20 + parsed.count if parsed.name == 'image' else 2


def StartPython(*args):
    # 3 when sys.executable starts this very interpreter (the same version and build), and a
    # pool of two workers maps a firmware module's function (workers that are new processes,
    # as on Windows, import it from the working folder); 4 or 5 when either does not.
    import helper
    import multiprocessing
    import subprocess
    import sys
    started = subprocess.check_output(
        [sys.executable, '-c', 'import sys; sys.stdout.write(sys.version)'])
    if started != sys.version:
        return 4
    pool = multiprocessing.Pool(2)
    try:
        doubled = pool.map(helper.double, [1, 2, 3])
    finally:
        pool.close()
        pool.join()
    return 3 if doubled == [2, 4, 6] else 5


def StandardModules(*args):
    # 6 when the modules of the standard build that wrap system libraries are there: hashlib's
    # digests are OpenSSL's (ripemd160 among them), and ssl, bz2 and sqlite3 work.
    import bz2
    import hashlib
    import sqlite3
    import ssl
    if hashlib.md5.__name__ != 'openssl_md5' or hashlib.new('ripemd160', 'abc').hexdigest() != \
            '8eb208f7e05d987a9b044a8e98c6b087f15a0bfc':
        return 1
    if bz2.decompress(bz2.compress('payload')) != 'payload':
        return 2
    database = sqlite3.connect(':memory:')
    if database.execute('select 40 + 2').fetchone() != (42,):
        return 3
    return 6 if ssl.OPENSSL_VERSION else 4


def _stack_check_answers():
    import ctypes
    import threading
    check = ctypes.pythonapi.PyOS_CheckStack
    if check() != 0:
        return False
    depths = []

    def descend(depth):
        return depth if check() else descend(depth + 1)

    limit = sys.getrecursionlimit()
    sys.setrecursionlimit(100000)
    try:
        worker = threading.Thread(target=lambda: depths.append(descend(0)))
        worker.start()
        worker.join()
    finally:
        sys.setrecursionlimit(limit)
    return len(depths) == 1 and depths[0] > 0


def StandardBehaviour(*args):
    # 8 when what the standard build does, this interpreter does: expm1 of -inf is -1.0;
    # array.fromfile on a file opened for writing raises IOError; a traceback through the
    # standard library shows its lines; on Windows, PyOS_CheckStack answers (0: room left, 1
    # near the end of a thread's stack, before it overflows); a result beyond a double's range
    # raises OverflowError; times past 2038 are kept; a closed file descriptor is refused with
    # EBADF; and a refused connection's errno is errno.ECONNREFUSED (on Windows, WinSock's code
    # for both).
    import array
    import errno
    import io
    import json
    import math
    import os
    import socket
    import sys
    import tempfile
    import time
    import traceback
    if math.expm1(float('-inf')) != -1.0:
        return 1
    # A file of its own: on Windows a TemporaryFile is a wrapper, which fromfile refuses.
    handle, path = tempfile.mkstemp()
    os.close(handle)
    try:
        with open(path, 'wb') as written:
            array.array('b').fromfile(written, 1)
        return 4
    except IOError:
        pass
    finally:
        os.remove(path)
    try:
        json.loads('{')
    except ValueError:
        if 'obj, end = self.scan_once(s, idx)' not in traceback.format_exc():
            return 5
    if sys.platform == 'win32' and not _stack_check_answers():
        return 6
    for overflowing in (lambda: math.ldexp(1.0, 1025), lambda: abs(complex(1.4e308, 1.4e308))):
        try:
            overflowing()
            return 9
        except OverflowError:
            pass
    # Times past 2038: time_t is 64 bits wide.
    handle, path = tempfile.mkstemp()
    os.close(handle)
    try:
        os.utime(path, (5000000000, 5000000000))
        if os.stat(path).st_mtime != 5000000000 or time.gmtime(5000000000)[0] != 2128:
            return 11
    finally:
        os.remove(path)
    closed = os.open(os.devnull, os.O_RDONLY)
    os.close(closed)
    for refusing in (os.fsync, io.FileIO):
        try:
            refusing(closed)
            return 10
        except OSError as refused:
            if refused.errno != errno.EBADF:
                return 10
    listener = socket.socket()
    listener.bind(('127.0.0.1', 0))
    port = listener.getsockname()[1]
    listener.close()
    client = socket.socket()
    try:
        client.connect(('127.0.0.1', port))
    except socket.error as refused:
        return 8 if refused.errno == errno.ECONNREFUSED else 2
    finally:
        client.close()
    return 3


def MsvcBuiltModule(*args):
    # 9 when an extension module built with MSVC's ABI and its own C runtime answers as it
    # should; otherwise writes each call that answered wrongly.
    import msvcabi
    counter = msvcabi.Counter()
    counter.add(2 ** 40)
    checks = [
        ('msc_ver', msvcabi.msc_ver, 1500),
        ('echo', msvcabi.echo('a\0b', -7, 2.5, 2 ** 40 + 3, 1 - 2j),
         ('a\0b', -7, 2.5, 2 ** 40 + 3, 1 - 2j)),
        ('format', msvcabi.format(-7, -2 ** 40 - 3, 2.5), '-7|-1099511627779|2.500'),
        ('difference', msvcabi.difference(5 + 7j, 2 - 1j), 3 + 8j),
        ('to_time_t', msvcabi.to_time_t(5e9), 5000000000),
        ('join', msvcabi.join(('ab', '', 'c\0d')), 'abc\0d'),
        ('nothing', msvcabi.nothing(), None),
        ('call', msvcabi.call(lambda *a, **k: (a, k), 1, 2, x=3), ((1, 2), {'x': 3})),
        ('Counter', counter.add(5), 2 ** 40 + 5),
    ]
    try:
        msvcabi.refuse()
        checks.append(('refuse', 'no exception', 'ValueError'))
    except ValueError as refused:
        checks.append(('refuse', str(refused), 'refused by msvcabi'))
    wrong = ['%s: %r, not %r' % check for check in checks if check[1] != check[2]]
    sys.stdout.write('\n'.join(wrong))
    return 9 if not wrong else 1
