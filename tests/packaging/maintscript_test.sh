#!/usr/bin/env bash
# The package's postinst/postrm against fake devices: with udev running it reloads the
# rules and re-triggers the tester's hidraw node and no other; without udev, or when
# udevadm fails, it does nothing and succeeds (dpkg would otherwise leave the package
# half-configured). The hidraw tree comes from umockdev, udev's control socket from a
# private /run, and udevadm is a stand-in that logs its arguments.
set -euo pipefail
cd "$(dirname "$0")/../.."
script=$PWD/packaging/deb/maintscript

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/bin"
cat >"$work/bin/udevadm" <<'SH'
#!/bin/sh
echo "udevadm $*" >>"$UDEVADM_LOG"
exit "${UDEVADM_EXIT:-0}"
SH
chmod +x "$work/bin/udevadm"

# Two USB HID devices: a keyboard as hidraw0 and the tester as hidraw1. The kernel
# names a HID device's bus, vendor and product in its HID_ID, in upper-case hex.
hid_device() { # NAME USB-PATH VENDOR PRODUCT HIDRAW
    local usb=/devices/pci0000:00/0000:00:14.0/usb1/$2 hid
    hid=$usb/$2:1.0/0003:$3:$4.000${5#hidraw}
    cat <<DEV
P: $usb
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=${3,,}
A: idProduct=${4,,}

P: $usb/$2:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface

P: $hid
E: SUBSYSTEM=hid
E: HID_ID=0003:0000$3:0000$4
E: HID_NAME=$1

P: $hid/hidraw/$5
N: $5
E: SUBSYSTEM=hidraw
E: DEVNAME=/dev/$5
L: device=../../../0003:$3:$4.000${5#hidraw}

DEV
}
{
    hid_device "Logitech keyboard" 1-1 046D C31C hidraw0
    hid_device "Orvo KR90X" 1-2 04D8 F394 hidraw1
} >"$work/devices.umockdev"

failures=0
# check NAME UDEV(running|stopped) ARGUMENT EXPECTED-LOG [UDEVADM-EXIT]: runs the script
# with that argument in a mount namespace of its own, where /run/udev/control exists only
# when udev is "running", and compares the udevadm calls with EXPECTED-LOG.
check() {
    local name=$1 udev=$2 arg=$3 expected=$4 log=$work/udevadm.log rc=0
    : >"$log"
    UDEVADM_LOG=$log UDEVADM_EXIT=${5:-0} PATH="$work/bin:$PATH" \
        unshare --mount --map-root-user sh -c '
            mount -t tmpfs tmpfs /run
            if [ "$1" = running ]; then mkdir /run/udev && : >/run/udev/control; fi
            exec umockdev-run --device "$2" -- sh "$3" "$4"' \
        sh "$udev" "$work/devices.umockdev" "$script" "$arg" || rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "FAIL: $name: the script exited with $rc"
        failures=$((failures + 1))
    elif [ "$(cat "$log")" != "$expected" ]; then
        echo "FAIL: $name: udevadm calls were"
        sed 's/^/    /' "$log"
        echo "  expected"
        printf '%s\n' "$expected" | sed 's/^/    /'
        failures=$((failures + 1))
    else
        echo "ok: $name"
    fi
}

applied="udevadm control --reload-rules
udevadm trigger --action=change /sys/class/hidraw/hidraw1"
check "postinst configure re-triggers the tester only" running configure "$applied"
check "postrm remove re-triggers the tester only" running remove "$applied"
check "postrm after a failed install undoes the rule" running abort-install "$applied"
check "postrm purge leaves udev alone (remove did it)" running purge ""
check "postrm upgrade leaves it to the new postinst" running upgrade ""
check "no udev daemon: nothing to tell, success" stopped configure ""
check "udevadm failing does not fail the install" running configure \
    "udevadm control --reload-rules" 1

[ "$failures" -eq 0 ]
