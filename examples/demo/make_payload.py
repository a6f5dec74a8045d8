# Writes the demo's payload: a small firmware-like binary, the same bytes on every build.
# Usage: python make_payload.py OUT
import struct
import sys
import zlib

SIZE = 150 * 1024  # over 64 KiB, so the HEX needs extended address records


def main(path):
    state = 0x2545F491
    body = []
    for _ in xrange((SIZE - 64) // 4):
        state = (state * 1103515245 + 12345) & 0xffffffff
        body.append(struct.pack('<I', state))
    body = ''.join(body)
    header = struct.pack('<8sII', 'DEMOFW01', len(body), zlib.crc32(body) & 0xffffffff)
    header += 'fwlaunch demo payload'.ljust(64 - len(header), '\0')
    with open(path, 'wb') as out:
        out.write(header + body)


if __name__ == '__main__':
    main(sys.argv[1])
