#!/usr/bin/env bash
# Runs a command in a mount namespace whose /dev has no serial devices: a tmpfs with null,
# zero, random, urandom, tty and full bound in, a devpts of its own (the simulator's and Wine's
# pseudo-terminals) and /dev/shm. Wine maps COM1 to the machine's /dev/ttyS0 by itself (its
# mount manager, at every start); without a ttyS device only the COM ports a test lays out
# exist, as the Linux tests have it with their scratch device folder. Needs root (CI is).
#
# Usage: scripts/without-serial-devices.sh COMMAND [ARGS...]
set -euo pipefail
if [ "${FERNWELL_IN_NAMESPACE:-}" != 1 ]; then
    exec env FERNWELL_IN_NAMESPACE=1 unshare --mount --propagation private "$0" "$@"
fi
old=$(mktemp -d)
mount --bind /dev "$old"
mount -t tmpfs -o mode=755 tmpfs /dev
for node in null zero random urandom tty full; do
    touch "/dev/$node"
    mount --bind "$old/$node" "/dev/$node"
done
mkdir -p /dev/pts /dev/shm
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts /dev/pts
ln -s pts/ptmx /dev/ptmx
mount --bind "$old/shm" /dev/shm
ln -s /proc/self/fd /dev/fd
for i in 0 1 2; do ln -s "/proc/self/fd/$i" "/dev/$(echo stdin stdout stderr | cut -d' ' -f$((i + 1)))"; done
exec "$@"
