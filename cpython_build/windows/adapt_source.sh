#!/usr/bin/env bash
# The release's Windows sources assume Microsoft's compiler and C library; under mingw-w64's gcc
# a few spots need a small change, made here on the unpacked copy (each edit must match exactly
# as often as expected, so that a different source fails here rather than building something
# else).
# Usage: adapt_source.sh SOURCE
set -euo pipefail
source=$1

# Replaces what the sed expression matches in FILE, which must hold COUNT matching lines.
edit() {
  local file=$source/$1 pattern=$2 replacement=$3 count=$4 found
  found=$(grep -c -E -- "$pattern" "$file" || true)
  if [ "$found" != "$count" ]; then
    echo "adapt_source: $1: '$pattern' matched $found lines, expected $count" >&2
    exit 1
  fi
  sed -i -E "s/$pattern/$replacement/" "$file"
}

# posixmodule.c: the C runtime that mingw links is Microsoft's, so the branches written for
# its compiler are the right ones: getcwd, spawnv, execv, <direct.h>, no "extern environ",
# and the module named "nt".
edit Modules/posixmodule.c '^#ifdef _MSC_VER\b' '#if defined(_MSC_VER) || defined(__MINGW32__)' 2
edit Modules/posixmodule.c '^#ifndef _MSC_VER$' '#if !defined(_MSC_VER) \&\& !defined(__MINGW32__)' 1
edit Modules/posixmodule.c '^#elif !defined\(_MSC_VER\) \&\& ' \
  '#elif !defined(_MSC_VER) \&\& !defined(__MINGW32__) \&\& ' 1
edit Modules/posixmodule.c '^#if \(defined\(_MSC_VER\) \|\| defined\(__WATCOMC__\)' \
  '#if (defined(_MSC_VER) || defined(__MINGW32__) || defined(__WATCOMC__)' 1

# dynload_win.c: its own static strcasecmp clashes with the one mingw's <string.h> declares.
sed -i -E 's/\bstrcasecmp\b/dynload_strcasecmp/g' "$source/Python/dynload_win.c"

# callproc.c: libffi 3.1's ffi_call returns nothing, so the stack-delta check written for the
# MSVC libffi cannot apply; and the trick of returning small structures as integers holds for
# MSVC only (libffi handles them itself here).
edit Modules/_ctypes/callproc.c '^        delta =$' '        delta = 0;' 1
edit Modules/_ctypes/callproc.c '^#if defined\(MS_WIN32\) \&\& !defined\(_WIN32_WCE\)$' \
  '#if defined(MS_WIN32) \&\& !defined(_WIN32_WCE) \&\& !defined(__MINGW32__)' 1

# errnomodule.c: the release's build (Visual C++ 9) had no POSIX codes beyond the C standard's
# and took the socket ones from WinSock (errno.ECONNREFUSED is WSAECONNREFUSED, 10061, as a
# refused connection reports it). mingw-w64's errno.h defines those Visual C++ 10 added, with
# other values: they are taken back for this one file, so that errno is the release's.
cat >"$source/PC/errno_vc9.h" <<'HEADER'
/* The error codes Visual C++ 9 lacked, which errnomodule.c then takes from WinSock or leaves
   out, as the release's own build does. */
#undef EAFNOSUPPORT
#undef EADDRINUSE
#undef EADDRNOTAVAIL
#undef EISCONN
#undef ENOBUFS
#undef ECONNABORTED
#undef EALREADY
#undef ECONNREFUSED
#undef ECONNRESET
#undef EDESTADDRREQ
#undef EHOSTUNREACH
#undef EMSGSIZE
#undef ENETDOWN
#undef ENETRESET
#undef ENETUNREACH
#undef ENOPROTOOPT
#undef ENOTSOCK
#undef ENOTCONN
#undef ECANCELED
#undef EINPROGRESS
#undef EOPNOTSUPP
#undef EWOULDBLOCK
#undef EOWNERDEAD
#undef EPROTO
#undef EPROTONOSUPPORT
#undef EBADMSG
#undef EIDRM
#undef ENODATA
#undef ENOLINK
#undef ENOMSG
#undef ENOSR
#undef ENOSTR
#undef ENOTRECOVERABLE
#undef ETIME
#undef ETXTBSY
#undef ETIMEDOUT
#undef ELOOP
#undef EPROTOTYPE
#undef EOVERFLOW
#undef ENOTSUP
HEADER
edit Modules/errnomodule.c '^#include <windows.h>$' '#include <windows.h>\n#include "errno_vc9.h"' 1

# _math.c: expm1 of a large negative x is exp(x) - 1, and the exp that mingw links reports the
# underflow of exp(x) to 0 in errno, which the math module then takes for an overflow of the
# result, -1.0 (Microsoft's exp reports none). The result is exact either way, and the math
# module judges an overflow by the result itself.
edit Modules/_math.c '^        return exp\(x\) - 1\.0;$' \
  '        { double result = exp(x) - 1.0; errno = 0; return result; }' 1

# arraymodule.c: fromfile takes a short read for the end of the file unless the C library
# marks the stream in error; Microsoft's marks a read from a stream opened only for writing,
# the C library Wine and mingw provide does not. The file object knows whether it may be read,
# so such a file is refused as the release refuses it: IOError.
edit Modules/arraymodule.c '^    if \(!PyArg_ParseTuple\(args, "On:fromfile", \&f, \&n\)\)$' \
  '    if (!PyArg_ParseTuple(args, "On:fromfile", \&f, \&n) || (PyFile_Check(f) \&\& !((PyFileObject *)f)->readable \&\& (errno = EBADF, PyErr_SetFromErrno(PyExc_IOError), 1)))' 1

# zipimport.c: python27.zip carries the standard library's sources beside their bytecode, so
# that tracebacks and inspect show its lines. A zip entry's time is local time, read back in
# whatever time zone the machine has, so the bytecode cannot carry its source's time: it is
# stamped 0, which no compiled file has, and such bytecode is taken without the comparison.
edit Modules/zipimport.c '^    if \(mtime != 0 \&\& !eq_mtime\(get_uint32\(buf \+ 4\), mtime\)\) \{$' \
  '    if (mtime != 0 \&\& get_uint32(buf + 4) != 0 \&\& !eq_mtime(get_uint32(buf + 4), mtime)) {' 1

# _ssl.c: ssl.enum_certificates and enum_crls read the system's certificate stores with
# crypt32, written for any Windows compiler but guarded by Microsoft's name; ssl.py imports
# them on Windows.
edit Modules/_ssl.c '^#ifdef _MSC_VER$' '#if defined(_MSC_VER) || defined(__MINGW32__)' 2

# pyconfig.h: a C library function returns a double in the x87's st(0), whose exponent reaches
# beyond a double's, and mingw's isinf and isnan classify that register as it stands (fxam): a
# result that overflows a double, such as ldexp(1.0, 1025) or the hypot inside abs() of a
# large complex, is not seen as infinite, and no OverflowError is raised. GCC's built-ins judge
# the value as a double, as Microsoft's _finite does for the release (also in extensions built
# with mingw against these headers).
edit PC/pyconfig.h '^#define HAVE_DECL_ISNAN 1$' \
  '#define HAVE_DECL_ISNAN 1\n\n\/* A double returned in the x87 st(0) is judged as a double. *\/\n#ifdef __GNUC__\n#define Py_IS_NAN(X) __builtin_isnan(X)\n#define Py_IS_INFINITY(X) __builtin_isinf(X)\n#define Py_IS_FINITE(X) __builtin_isfinite(X)\n#endif' 1

# fileobject.h: an invalid file descriptor handed to Microsoft's C library is caught first, as
# the release does (its check for Visual C++ 6, whose runtime is the msvcrt.dll that mingw
# links): os.fsync and friends raise OSError with EBADF, and io.FileIO refuses such a
# descriptor.
edit Include/fileobject.h '^#elif defined _MSC_VER \&\& _MSC_VER >= 1200$' \
  '#elif (defined _MSC_VER \&\& _MSC_VER >= 1200) || defined __MINGW32__' 1

# pyconfig.h: time_t is 64 bits wide in the release's build (Visual C++ 2005 made it so), and
# so in _PyTime_DoubleToTimet's interface and in the times os.utime and time take. mingw-w64
# keeps 32 bits on 32-bit x86 unless asked before its first header: pyconfig.h asks, for the
# interpreter's build and for extensions built against it.
edit PC/pyconfig.h '^#define Py_CONFIG_H$' \
  '#define Py_CONFIG_H\n\n\/* A 64-bit time_t, as Visual C++ 2005 and later have it. *\/\n#if defined(__MINGW32__) \&\& !defined(_WIN64) \&\& !defined(__MINGW_USE_VC2005_COMPAT)\n#define __MINGW_USE_VC2005_COMPAT\n#endif' 1
edit PC/pyconfig.h '^#	if defined\(_MSC_VER\) \&\& _MSC_VER >= 1400$' \
  '#	if (defined(_MSC_VER) \&\& _MSC_VER >= 1400) || defined(__MINGW32__)' 1
