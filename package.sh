#!/usr/bin/env bash
# Builds the Debian package orvo-kr90x_<version>_<arch>.deb in build-package/ and prints
# its path. Install it with: sudo apt install ./build-package/orvo-kr90x_*.deb
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh package

# Debian's hardening flags (stack protector, fortified functions, read-only relocations,
# immediate binding), without debug information: cpack strips the program anyway.
DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
export DEB_BUILD_MAINT_OPTIONS DEB_CXXFLAGS_MAINT_STRIP
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS

# The package system updates the packaged program, which may not write its own folder.
# Only the window and kr90x are built: the tests, benchmarks and the other tools are not
# packaged, and cpack would otherwise build everything first.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DKR90X_SELF_UPDATE=OFF -DKR90X_TESTS=OFF -DKR90X_BENCH=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build build-package --target Orvo_KR90X kr90x
rm -f build-package/orvo-kr90x_*.deb
(cd build-package && cpack >/dev/null)
ls "$PWD"/build-package/orvo-kr90x_*.deb
