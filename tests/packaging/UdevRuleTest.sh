#!/usr/bin/env bash
# The package's udev rule as udev applies it, under umockdev: `udevadm test` on a stopwatch's USB
# device that no driver has bound yet must run both binding commands, on another maker's bridge none,
# and give the stopwatch's tty its uaccess tag and ModemManager's ignore flag.
#
# udevadm reads rules only from the system's folders. The test runs in a mount namespace of its own
# (as root, or else as root of a user namespace) in which a folder holding just this rule is mounted
# over each of them, so the system's rules neither add lines nor see this one, and an empty /run.
# Usage: UdevRuleTest.sh <rules file>
set -euo pipefail

rule=$(realpath "$1")
if [ -z "${VKX_UDEV_NAMESPACE:-}" ]; then
    namespace=(--mount)
    if ! unshare --mount true 2>/dev/null; then namespace=(--map-root-user --mount); fi
    VKX_UDEV_NAMESPACE=1 exec unshare "${namespace[@]}" "$0" "$rule"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/rules"
cp "$rule" "$work/rules/"
# udevadm test also writes the device database below /run/udev: a fresh /run keeps the machine's
# clean and earlier runs' entries out of this one.
mount -t tmpfs tmpfs /run
# /lib may be a link to /usr/lib: each folder is covered once, or the second mount would land on the
# first one's source.
covered=()
for folder in /etc/udev/rules.d /run/udev/rules.d /usr/local/lib/udev/rules.d /usr/lib/udev/rules.d \
    /lib/udev/rules.d; do
    [ -d "$folder" ] || continue
    folder=$(realpath "$folder")
    [[ " ${covered[*]} " == *" $folder "* ]] && continue
    mount --bind "$work/rules" "$folder"
    covered+=("$folder")
done

usb=/devices/pci0000:00/0000:00:14.0/usb1
cat >"$work/devices.umockdev" <<EOF
P: $usb/1-1
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=5f3a
A: idProduct=b7c4

P: $usb/1-1/1-1:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface

P: $usb/1-2
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=10c4
A: idProduct=ea60

P: $usb/1-2/1-2:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface

P: $usb/1-3
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=5f3a
A: idProduct=b7c4

P: $usb/1-3/1-3:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface

P: $usb/1-3/1-3:1.0/ttyUSB0/tty/ttyUSB0
N: ttyUSB0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB0
A: dev=188:0
EOF

failures=0
# Prints what udev would do for the device added at a sysfs path.
added() { umockdev-run -d "$work/devices.umockdev" -- udevadm test --action=add "/sys$1" 2>"$work/log"; }
expect() {
    local name=$1 want=$2 got=$3
    if [ "$want" != "$got" ]; then
        echo "FAIL: $name"
        echo "  want: $want"
        echo "  got:  $got"
        failures=$((failures + 1))
    fi
}

runs=$(added "$usb/1-1" | grep '^run:' || true)
expect "the stopwatch's unbound bridge: the driver loaded, then given the IDs" \
    "run: 'kmod load cp210x'
run: '/bin/sh -c 'echo 5f3a b7c4 > /sys/bus/usb-serial/drivers/cp210x/new_id''" "$runs"

runs=$(added "$usb/1-2" | grep '^run:' || true)
expect "another maker's bridge: nothing run" "" "$runs"

tty=$(added "$usb/1-3/1-3:1.0/ttyUSB0/tty/ttyUSB0" | grep -e '^TAGS=' -e '^ID_MM_DEVICE_IGNORE=' | sort || true)
expect "the stopwatch's tty: ModemManager's ignore flag and the uaccess tag" \
    "ID_MM_DEVICE_IGNORE=1
TAGS=:uaccess:" "$tty"

# udev names a line it cannot parse by the rules file's path and the line number.
complaints=$(grep -E "^/[^ ]*/$(basename "$rule"):[0-9]+ " "$work/log" || true)
expect "udevadm parses the rule without complaint" "" "$complaints"
exit $((failures > 0))
