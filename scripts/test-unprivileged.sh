#!/usr/bin/env bash
# Runs again, as an ordinary user (nobody, uid and gid 65534), the cases whose outcome
# depends on who runs them, when the suite itself runs as root (CI does). Root opens any
# device and writes any file, so as root these cases skip themselves or leave out their
# "no permission" rows. Run as an ordinary user, the normal run already covers them and this
# does nothing. `make test` calls it after ctest.
#
# Usage: scripts/test-unprivileged.sh <build dir>
set -euo pipefail
build=$(cd "${1:?usage: $0 <build dir>}" && pwd)
if [ "$(id -u)" != 0 ]; then
  echo "unprivileged cases: not root, the normal run has covered them"
  exit 0
fi

uid=65534
gid=65534
# <test program> <gtest filter>, one case each, with what root hides in it.
cases=(
  # The EACCES path of opening a port: root is never refused.
  "serial_tests PortMap.DeviceWithoutRightsIsListedButDoesNotOpen"
  # A write refused by a read-only file or folder: root writes regardless.
  "store_tests RegistryStoreTest.ReadOnlyFileOrDirectoryFailsTheWrite"
  # The "no permission" state of `fernwell-cli ports`: root can open the mode-0 terminal.
  "cli_tests Cli.PortsListsEveryLinkedDeviceWithItsState"
  # Reopening the simulator's line with no privilege at all in the parent either.
  "sim_tests SimOverPty.PortReopensAfterExclusiveUse"
)

if command -v setpriv >/dev/null; then
  as_user=(setpriv --reuid="$uid" --regid="$gid" --clear-groups --)
elif command -v runuser >/dev/null; then
  as_user=(runuser -u "$(getent passwd "$uid" | cut -d: -f1)" --)
else
  echo "unprivileged cases: neither setpriv nor runuser here, not run" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/home" "$scratch/tmp"
chown -R "$uid:$gid" "$scratch"
# Everything below runs with a clean environment: root's HOME, TMPDIR or XDG folders are not
# the user's to write.
run() {
  (cd "$scratch" && "${as_user[@]}" env -i PATH="$PATH" LANG=C.UTF-8 HOME="$scratch/home" \
      TMPDIR="$scratch/tmp" XDG_CONFIG_HOME="$scratch/home/.config" \
      QT_QPA_PLATFORM=offscreen "$@")
}

if ! run test -w "$scratch/tmp"; then
  echo "unprivileged cases: uid $uid cannot reach the scratch folder $scratch" >&2
  exit 1
fi
# The tests start bin/fernwell-sim and bin/fernwell-cli by their path in the build folder.
if ! run test -x "$build/bin" -a -r "$build/bin"; then
  echo "unprivileged cases: uid $uid cannot read $build/bin (a folder above it shuts" \
    "other users out; 'namei -m $build/bin' shows which), so the cases that root skips" \
    "cannot run: build in a folder others may read" >&2
  exit 1
fi

ran=0
for row in "${cases[@]}"; do
  read -r program filter <<<"$row"
  if [ ! -x "$build/bin/$program" ]; then
    echo "unprivileged cases: $program not built here, $filter not run"
    continue
  fi
  echo "== $filter as uid $uid =="
  log="$scratch/$program.log"
  status=0
  run timeout 300 "$build/bin/$program" --gtest_filter="$filter" >"$log" 2>&1 || status=$?
  cat "$log"
  # Passing is not enough: a case that still skipped itself (or matched nothing) ran nothing.
  if [ "$status" != 0 ] || ! grep -q '^\[  PASSED  \] 1 test\.' "$log" ||
    grep -q '^\[  SKIPPED \]' "$log"; then
    echo "unprivileged cases: $filter failed, skipped or did not run as uid $uid" >&2
    exit 1
  fi
  ran=$((ran + 1))
done
echo "unprivileged cases: $ran of ${#cases[@]} ran and passed as uid $uid"
