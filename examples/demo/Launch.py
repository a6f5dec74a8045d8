# The demo firmware's conversion scripts, called by fwlaunch as Launch.<Function>(library,
# firmware, ...). Each returns 0 on success and a small positive number on failure.
import sys

import firmware

try:
    # The extension module the image carries, built for the interpreter that runs it.
    from checksum import record_checksum
except ImportError:
    # Where the image's checksum.pyd is not the interpreter's kind of extension (an image made
    # for the other system), the same sum in Python.
    def record_checksum(body):
        return -sum(ord(byte) for byte in body) & 0xff

PAYLOAD = 'payload.bin'
BYTES_PER_RECORD = 16

# Intel HEX record types.
DATA = 0
END_OF_FILE = 1
EXTENDED_LINEAR_ADDRESS = 4


def _record(address, kind, data):
    head = chr(len(data)) + chr((address >> 8) & 0xff) + chr(address & 0xff) + chr(kind)
    body = head + data
    return ':%s%02X\n' % (body.encode('hex').upper(), record_checksum(body))


def _intel_hex(payload):
    lines = []
    upper = 0
    for offset in xrange(0, len(payload), BYTES_PER_RECORD):
        if offset >> 16 != upper:
            upper = offset >> 16
            lines.append(_record(0, EXTENDED_LINEAR_ADDRESS, chr(upper >> 8) + chr(upper & 0xff)))
        lines.append(_record(offset & 0xffff, DATA, payload[offset:offset + BYTES_PER_RECORD]))
    lines.append(_record(0, END_OF_FILE, ''))
    return ''.join(lines)


def _fail(function, message, status):
    sys.stderr.write('%s: %s\n' % (function, message))
    return status


def ToHex(library, image, out_path=None, *unused):
    """Writes the image's payload as Intel HEX to out_path."""
    if out_path is None:
        return _fail('ToHex', 'missing output path (fwlaunch x IMAGE ToHex OUT.hex)', 2)
    try:
        payload = firmware.Firmware(library, image).read(PAYLOAD)
    except firmware.FirmwareError as error:
        return _fail('ToHex', 'cannot read %s from %s: %s' % (PAYLOAD, image, error), 3)
    try:
        with open(out_path, 'wb') as out:
            out.write(_intel_hex(payload))
    except (IOError, OSError) as error:
        return _fail('ToHex', 'cannot write %s: %s' % (out_path, error), 4)
    return 0


def Info(library, image, *unused):
    """Prints the image's module list and the payload's size."""
    try:
        image_file = firmware.Firmware(library, image)
        modules = image_file.modules()
        size = image_file.size(PAYLOAD)
    except firmware.FirmwareError as error:
        return _fail('Info', 'cannot read %s: %s' % (image, error), 3)
    print 'modules: %s' % ', '.join(modules)
    print 'payload: %s, %d bytes' % (PAYLOAD, size)
    return 0
