# Writes the Intel HEX that the demo's ToHex makes of its payload, computed on the build machine
# by the demo's own Launch module (with its checksums in Python), so that what fwlaunch writes
# on either system can be compared with it byte for byte.
# Usage: python2.7 reference_hex.py DEMO_SOURCES HELPER_SOURCES PAYLOAD OUT.hex
import sys

sys.dont_write_bytecode = True  # nothing is written beside the sources


def main(demo, helper, payload, out):
    sys.path[:0] = [demo, helper]
    import Launch
    with open(payload, 'rb') as source:
        data = source.read()
    with open(out, 'wb') as hex_file:
        hex_file.write(Launch._intel_hex(data))


if __name__ == '__main__':
    main(*sys.argv[1:])
