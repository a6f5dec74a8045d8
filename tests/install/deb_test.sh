#!/usr/bin/env bash
# cpack -G DEB makes a package that holds the whole tree under /usr and whose programs run
# from where dpkg puts them. Usage: deb_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
(cd "$root" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
package=$(ls "$root"/*.deb)
listing=$(dpkg-deb -c "$package")
for file in ./usr/bin/fwlaunch ./usr/bin/fwlaunch-trace ./usr/bin/fwpack \
  ./usr/lib/fwlaunch/libpython2.7.so.1.0 ./usr/lib/fwlaunch/python2.7/os.py \
  ./usr/lib/fwlaunch/Script.dll ./usr/include/fwlaunch/script_library.h \
  ./usr/share/man/man1/fwlaunch.1.gz ./usr/share/fwlaunch/firmware.py \
  ./usr/share/doc/fwlaunch/copyright ./usr/share/doc/fwlaunch/changelog.gz; do
  grep -q " $file\$" <<<"$listing" || { echo "deb test: $file missing" >&2; exit 1; }
done
# Its dependencies come from its objects (dpkg-shlibdeps), and Debian's own checker finds no
# error and no warning that the package does not explain in its overrides.
depends=$(dpkg-deb -f "$package" Depends)
for library in libc6 libstdc++6 zlib1g libexpat1; do
  grep -q "$library" <<<"$depends" || { echo "deb test: Depends lacks $library: $depends" >&2; exit 1; }
done
if command -v lintian >/dev/null; then
  findings=$(lintian --suppress-tags running-with-root-privileges "$package" 2>&1 |
             grep -E '^(E|W):' || true)
  [ -z "$findings" ] || { echo "deb test: lintian:" >&2; echo "$findings" >&2; exit 1; }
fi
dpkg-deb -x "$package" "$root/unpacked"
"$root/unpacked/usr/bin/fwlaunch" --version | grep -q "^fwlaunch " || exit 1
"$root/unpacked/usr/bin/fwpack" --version | grep -q "^fwpack " || exit 1
echo "deb test: $(basename "$package"), $(du -k "$package" | cut -f1) KiB"
