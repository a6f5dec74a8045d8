# The whole-run benchmark's script: imports a helper and an extension, as a real conversion
# script would, and returns 0.
import sys

import bench_helper
import checksum


def Zero(*args):
    return bench_helper.zero() + checksum.record_checksum('\x00')


def Stamp(library, image, path):
    # The moment the function starts, for the nested-run figure.
    import time
    with open(path, 'w') as out:
        out.write(repr(time.time()))
    return 0


def Nested(library, image, command, stamp):
    # Starts a run (or the bare interpreter) from inside this run and prints how long it took
    # from the start of that process to its function, in microseconds.
    import os
    import shlex
    import subprocess
    import time
    if os.path.exists(stamp):
        os.remove(stamp)
    start = time.time()
    subprocess.call(shlex.split(command) + [stamp])
    with open(stamp) as stamped:
        sys.stdout.write('%d\n' % int((float(stamped.read()) - start) * 1e6))
    return 0
