#!/usr/bin/env bash
# Installs the Debian packages the program needs ("build"), its Debian package needs
# ("package"), the simulated tester on a fake USB node needs ("simulated") or its tests
# need too ("test"), only those that are missing. Runs apt-get as root (or through sudo).
set -euo pipefail

# qt6-base-dev brings Qt SQL's headers and CMake package; libqt6sql6-sqlite is its SQLite
# driver, which the workshop records open their database with, and libqt6sql6-psql its
# PostgreSQL driver, for records a workshop's PCs share on a server.
build_pkgs=(g++ cmake ninja-build mold pkg-config qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql
    libudev-dev udev
    libhpdf-dev libjpeg62-turbo-dev libcups2-dev fonts-liberation2
    # Signed update manifests (Ed25519) and file hashes.
    libsodium-dev)
# dpkg-shlibdeps (dpkg-dev) and file find the package's library dependencies.
package_pkgs=(dpkg-dev file)
# Fake hidraw nodes (umockdev) for the simulated tester on the Linux device path.
simulated_pkgs=(umockdev libumockdev-dev)
test_pkgs=(libgtest-dev libgmock-dev libbenchmark-dev python3-pyftpdlib xvfb xauth
    poppler-utils cups cups-client cups-bsd cups-filters clang libclang-rt-14-dev imagemagick
    x11-utils xdotool curl vsftpd
    # The TLS tests make their own CA and server certificates.
    openssl
    # The print tests: a job's attributes (ipptool) and its PostScript rasterised
    # (ghostscript); the locale sources the number tests compile C.UTF-8, de_DE and es_ES
    # from (localedef, into a folder of their own).
    cups-ipp-utils ghostscript locales
    # kr90x's completion, tried in the bash-completion it is written for.
    bash-completion
    # The package test: its checkers, the fake devices of the maintainer script's test,
    # and the package's run-time dependencies that the build does not bring, so that
    # installing it needs nothing from the network.
    lintian desktop-file-utils appstream
    # The records' tests: an immutable file (chattr, e2fsprogs), the CSV read back by
    # Python's csv module, and a private PostgreSQL server (initdb, pg_ctl).
    e2fsprogs python3 postgresql-15)

case "${1:-build}" in
build) wanted=("${build_pkgs[@]}") ;;
package) wanted=("${build_pkgs[@]}" "${package_pkgs[@]}") ;;
simulated) wanted=("${build_pkgs[@]}" "${simulated_pkgs[@]}") ;;
test) wanted=("${build_pkgs[@]}" "${package_pkgs[@]}" "${simulated_pkgs[@]}" "${test_pkgs[@]}") ;;
*) echo "usage: $0 [build|package|simulated|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
    if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=120 update -qq
# With their recommended packages, as the tests were run: CUPS, for one, relies on its
# recommended filters to turn a print job into PostScript.
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=120 install -y -qq "${missing[@]}"
