#!/usr/bin/env bash
# Builds the Debian package and checks it the way the distribution would: lintian, the
# launcher and the AppStream metainfo through their validators; then installs it with
# apt, starts the installed program with the simulated tester as an ordinary user,
# purges it and checks that nothing of it is left. Whatever happens, the machine is left
# as it was found: the package (and anything apt brought with it) is purged on exit.
set -euo pipefail
cd "$(dirname "$0")/../.."

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
apt_get() { "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=300 -qq "$@"; }

work=$(mktemp -d)
chmod 755 "$work"
installed_by_us=false
brought_by_apt=()
cleanup() {
    if "$installed_by_us" && dpkg-query -W orvo-kr90x >/dev/null 2>&1; then
        apt_get purge -y orvo-kr90x >/dev/null || true
    fi
    if [ ${#brought_by_apt[@]} -gt 0 ]; then
        apt_get purge -y "${brought_by_apt[@]}" >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

deb=$(./package.sh | tail -n 1)
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "orvo-kr90x_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "package file named $(basename "$deb")"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

# The package system updates the packaged program: its own self-update is built off.
grep -q 'kSelfUpdate = false;' build-package/src/update/generated/update/UpdateDefaults.h ||
    fail "the package was built with the program's self-update on"

# Errors and warnings fail; a warning accepted for good goes to the package's lintian
# overrides with its reason (there are none today).
lintian --fail-on error,warning --info "$deb" || fail "lintian"

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop=$root/usr/share/applications/orvo-kr90x.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli"
# The launcher starts and shows what the package installs.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$root/usr/bin/$exec_name" ] || fail "the launcher starts $exec_name, not in the package"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
    fail "the launcher's icon $icon is not in the package"
# One version throughout: the package's, its changelog's and the metainfo's last release.
changelog_version=$(zcat "$root/usr/share/doc/orvo-kr90x/changelog.gz" | sed -n '1s/.*(\(.*\)).*/\1/p')
[ "$changelog_version" = "$version" ] ||
    fail "the changelog's last entry is $changelog_version, the package $version"
grep -q "<release version=\"$version\"" "$root"/usr/share/metainfo/*.metainfo.xml ||
    fail "the metainfo has no release $version"

if dpkg-query -W -f='${Status}' orvo-kr90x 2>/dev/null | grep -q ' installed$'; then
    echo "orvo-kr90x is installed on this machine: not replacing it, so the install," \
        "start and purge checks are skipped (apt-get purge orvo-kr90x to run them)"
    exit 0
fi

# What is there before: the package's paths that exist already (shared folders), and
# every file or folder named after the program.
named_after_us() {
    find /usr /etc /var /opt -xdev \( -path /var/tmp -o -path /var/cache/apt/archives \) -prune \
        -o \( -iname '*orvo*' -o -iname '*kr90x*' \) -print 2>/dev/null | sort
}
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$work/paths"
while read -r path; do
    if [ -e "$path" ]; then echo "$path"; fi
done <"$work/paths" >"$work/existing-before"
named_after_us >"$work/named-before"

# apt resolves the dependencies; whatever it brings besides the package goes again at
# the end.
mapfile -t brought_by_apt < <(apt_get -s install "$deb" |
    sed -n 's/^Inst \([^ ]*\) .*/\1/p' | grep -vx orvo-kr90x || true)
installed_by_us=true
apt_get install -y "$deb" >/dev/null || fail "apt-get install"
dpkg -L orvo-kr90x >"$work/dpkg-list"
[ -x /usr/bin/orvo-kr90x ] || fail "no /usr/bin/orvo-kr90x after the install"
[ -x /usr/bin/kr90x ] || fail "no /usr/bin/kr90x after the install"
for f in /usr/share/man/man1/kr90x.1.gz /usr/share/bash-completion/completions/kr90x; do
    grep -qxF "$f" "$work/dpkg-list" || fail "the package does not install $f"
done

# The installed program, as an ordinary user with a home of its own, offscreen and with
# the simulated tester. --startup-probe prints its figures at the window's first paint
# and quits: the window came up. Then without it, the program must still be running
# when the bound runs out (timeout then ends it and exits with 124).
home=$work/home
mkdir -m 700 "$home"
run_as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$home"
    run_as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
run_program() { # BOUND-SECONDS ARGUMENTS...
    local bound=$1
    shift
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home" \
        XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        XDG_CACHE_HOME="$home/.cache" QT_QPA_PLATFORM=offscreen \
        "${run_as_user[@]}" timeout "$bound" /usr/bin/orvo-kr90x --virtual-tester "$@"
}
probe=$(run_program 60 --startup-probe 2>"$work/stderr") ||
    fail "the installed program did not show its window: $(cat "$work/stderr")"
[[ $probe =~ ^shown_ns=[0-9]+\ peak_kib=[0-9]+$ ]] || fail "startup probe printed: $probe"
echo "installed program: window up ($probe)"
rc=0
run_program 3 2>"$work/stderr" || rc=$?
[ "$rc" -eq 124 ] || fail "the installed program ended by itself (exit $rc): $(cat "$work/stderr")"
echo "installed program: still running after 3 s"

# The installed command line, with no display at all: a read of the simulated tester,
# kept in the user's records and listed from them.
run_cli() {
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home" \
        XDG_DATA_HOME="$home/.local/share" "${run_as_user[@]}" timeout 60 /usr/bin/kr90x "$@"
}
json=$(run_cli read petrol --virtual-tester --format json 2>"$work/stderr") ||
    fail "the installed kr90x did not read: $(cat "$work/stderr")"
grep -q '"kept": "kept"' <<<"$json" || fail "the installed kr90x did not keep its result: $json"
run_cli records list | grep -q 'Petrol Compression' || fail "the installed kr90x lists no record"
echo "installed kr90x: read, kept and listed"

apt_get purge -y orvo-kr90x >/dev/null || fail "apt-get purge"
installed_by_us=false

# Nothing of it is left: dpkg has forgotten it, each of its paths that was not there
# before is gone (shared folders stay), and nothing named after it appeared anywhere.
if dpkg-query -W -f='${Status}' orvo-kr90x 2>/dev/null | grep -qv '^unknown ok not-installed$'; then
    fail "dpkg still knows orvo-kr90x: $(dpkg-query -W -f='${Status}' orvo-kr90x)"
fi
left=()
while read -r path; do
    if [ "$path" != /. ] && [ -e "$path" ] && ! grep -qxF "$path" "$work/existing-before"; then
        left+=("$path")
    fi
done <"$work/dpkg-list"
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
named_after_us >"$work/named-after"
diff "$work/named-before" "$work/named-after" >&2 || fail "files named after the program changed"
echo "purged: nothing left"
