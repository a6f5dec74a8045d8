# Compiles the standard library's modules to optimised bytecode and stores them in one zip, as
# the interpreter imports them from python27.zip beside python27.dll, each with its source, which
# tracebacks, inspect and linecache read through the zip's importer. Left out: the tests, the
# folders for other platforms, and what needs a module the Windows build does not have (Tk).
# Run with python2.7 -OO: the bytecode is the same on every platform.
# Usage: python2.7 -OO make_stdlib_zip.py LIB-FOLDER OUTPUT.zip
import marshal
import os
import sys
import time
import zipfile
import imp

LEFT_OUT = set(['test', 'tests', 'lib-tk', 'idlelib', 'plat-aix3', 'plat-aix4', 'plat-atheos',
                'plat-beos5', 'plat-darwin', 'plat-freebsd4', 'plat-freebsd5', 'plat-freebsd6',
                'plat-freebsd7', 'plat-freebsd8', 'plat-generic', 'plat-irix5', 'plat-irix6',
                'plat-linux2', 'plat-mac', 'plat-netbsd1', 'plat-next3', 'plat-os2emx',
                'plat-riscos', 'plat-sunos5', 'plat-unixware7', 'site-packages', 'lib2to3'])


def bytecode(path, name):
    with open(path, 'rU') as source:
        text = source.read()
    if not text.endswith('\n'):
        text += '\n'
    code = compile(text, name, 'exec', 0, True)
    # The header zipimport checks: magic, then the source's time, 0: the interpreter takes such
    # bytecode without comparing it with its source entry's time, which is local time and read
    # back in the time zone of whichever machine runs it.
    return imp.get_magic() + '\0\0\0\0' + marshal.dumps(code)


def main(library, output):
    if not sys.flags.optimize >= 2:
        sys.exit('make_stdlib_zip: run with python2.7 -OO')
    entries = []
    for folder, subfolders, files in os.walk(library):
        subfolders[:] = sorted(name for name in subfolders if name not in LEFT_OUT)
        for file_name in sorted(files):
            if not file_name.endswith('.py'):
                continue
            path = os.path.join(folder, file_name)
            name = os.path.relpath(path, library).replace(os.sep, '/')
            entries.append((name[:-3] + '.pyo', bytecode(path, name)))
            with open(path, 'rb') as source:
                entries.append((name, source.read()))
    temporary = output + '.part'
    stamp = time.localtime(1587340800)[:6]  # the release's date, for a reproducible zip
    archive = zipfile.ZipFile(temporary, 'w', zipfile.ZIP_DEFLATED)
    for name, data in entries:
        info = zipfile.ZipInfo(name, stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, data)
    archive.close()
    os.rename(temporary, output)
    print('%s: %d modules with their sources' % (output, len(entries) // 2))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
