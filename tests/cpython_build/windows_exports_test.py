# python27.dll exports every function and variable that the release's headers declare for an
# extension module built by the release's own compiler (preprocessed as that compiler sees
# them), apart from the few the release itself never defines; and nothing else of the
# compiler's own making, such as GCC's clones of a function under a dotted name.
# Usage: python windows_exports_test.py PYTHON-PREFIX OBJDUMP PREPROCESS-AS-MSVC
import re
import subprocess
import sys

# Declared by the release's headers and absent from its DLL as well.
NEVER_DEFINED = {
    # Declared, and defined nowhere in the release's sources.
    'PyBuffer_SizeFromFormat': 'declared only',
    'PyErr_SetFromWindowsErrWithFilenameObject': 'declared only',
    'PyFrame_ExtendStack': 'declared only',
    '_PyFloat_Digits': 'declared only',
    '_PyFloat_DigitsInit': 'declared only',
    # stringobject.c defines it under its generic name _Py_InsertThousandsGroupingLocale.
    '_PyString_InsertThousandsGroupingLocale': 'defined under another name',
}
# getopt.c, which defines these, does not include the header that marks them for export.
for name in ('_PyOS_GetOpt', '_PyOS_ResetGetOpt', '_PyOS_optarg', '_PyOS_opterr',
             '_PyOS_optind'):
    NEVER_DEFINED[name] = 'never marked for export'


def exported_names(objdump, dll):
    listing = subprocess.check_output([objdump, '-p', dll])
    table = listing.split('[Ordinal/Name Pointer] Table', 1)[1]
    return set(re.findall(r'^\s*\[\s*\d+\]\s+(\S+)\s*$', table, re.MULTILINE))


def declared_names(preprocessed, include_folder):
    """The names declared with dllimport by the headers in include_folder."""
    names = set()
    source = None
    text = []
    for line in preprocessed.splitlines():
        marker = re.match(r'^# \d+ "([^"]*)"', line)
        if marker:
            source = marker.group(1)
        elif source is not None and source.startswith(include_folder):
            text.append(line)
    marker = '__declspec(dllimport)'
    for declaration in ' '.join(text).split(';'):
        if marker not in declaration:
            continue
        declaration = declaration[declaration.index(marker) + len(marker):]
        # The name stands before the first parenthesis, or inside it for a pointer to a
        # function: int (*PyOS_InputHook)(void).
        pointer = re.match(r'[^(]*\(\s*\*\s*([A-Za-z_]\w*)\s*\)', declaration)
        plain = re.match(r'[^(\[]*?([A-Za-z_]\w*)\s*(?:\(|\[|$)', declaration.strip())
        names.add((pointer or plain).group(1))
    return names


def main(prefix, objdump, preprocess):
    exported = exported_names(objdump, prefix + '/python27.dll')
    preprocessed = subprocess.check_output([preprocess, prefix])
    declared = declared_names(preprocessed, prefix + '/include/')
    failures = []
    if len(declared) < 1000 or 'PyOS_CheckStack' not in declared:
        failures.append('the headers gave %d declarations, PyOS_CheckStack %s among them: '
                        'not the release compiler\'s view' %
                        (len(declared), 'not' if 'PyOS_CheckStack' not in declared else ''))
    for name in sorted(declared - exported - set(NEVER_DEFINED)):
        failures.append('declared, not exported: ' + name)
    for name in sorted(set(NEVER_DEFINED) & exported):
        failures.append('exported, though listed as never defined: ' + name)
    for name in sorted(name for name in exported if not re.match(r'^[A-Za-z_]\w*$', name)):
        failures.append('exported under a compiler-made name: ' + name)
    for failure in failures:
        print failure
    print '%d declared, %d exported, %d failures' % (len(declared), len(exported), len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:]))
