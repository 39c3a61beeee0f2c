#!/usr/bin/env bash
# CI: the Windows build (`make windows`: the window, fernwell-cli, every test, the installer,
# with mingw-w64 and a Qt for Windows built once per machine) run under Wine: first every test
# program (the window's offscreen, reaching the Linux fernwell-sim through the prefix's
# dosdevices folder), then fernwell-cli.exe against the simulator, whose pseudo-terminal Wine
# presents as a COM port (a link comN in dosdevices), then fernwell.exe in Xvfb against it, then
# the installer's silent install and uninstall. Needs the Linux build for the simulator
# (argument 1, default build/).
#
# One throw-away Wine prefix for the whole stage (making it is the slow part). Every Wine call
# runs under a time limit. Ends with a summary line of the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux_build=${1:-build}
# What to build and run: windows (the window, its tests and the installer too, with the Qt
# for Windows built once per machine; what CI runs) or windows-core (the core, fernwell-cli and
# the core's tests, no Qt: quicker where the Qt for Windows is not built yet).
target=${WINDOWS_TARGET:-windows}
# The window's tests expect COM1 to be no port unless they lay one out: run without the
# machine's serial devices, which Wine would map to COM ports by itself.
if [ "$target" = windows ] && [ "${FERNWELL_IN_NAMESPACE:-}" != 1 ] && [ "$(id -u)" = 0 ]; then
    exec scripts/without-serial-devices.sh "$PWD/scripts/check-windows.sh" "$@"
fi
if [ "$target" = windows ]; then
    win_build=${WIN_BUILD:-build-win}
    make windows WIN_BUILD="$win_build"
else
    win_build=${WIN_CORE_BUILD:-build-win-core}
    make windows-core WIN_CORE_BUILD="$win_build"
fi
bin=$root/$win_build/bin
sim=$(realpath -m "$linux_build")/bin/fernwell-sim

failures=0
# Linked statically: each program needs only DLLs that every Windows 10 has (Qt 6's oldest):
# the system's own and the API sets (api-ms-win-*) Qt's Windows platform plugin imports.
system_dlls='^(ADVAPI32|CFGMGR32|COMDLG32|d3d9|d3d11|d3d12|dwmapi|DWrite|dxgi|GDI32|IMM32'
system_dlls+='|KERNEL32|msvcrt|NETAPI32|ole32|OLEAUT32|SETUPAPI|SHCORE|SHELL32|SHLWAPI|USER32'
system_dlls+='|USERENV|UxTheme|VERSION|WINMM|WS2_32|WTSAPI32|AUTHZ|RPCRT4|COMCTL32'
system_dlls+='|api-ms-win-core-[a-z0-9-]+)\.dll$'
for exe in "$bin"/*.exe; do
    others=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
        grep -Eiv "$system_dlls" || true)
    if [ -n "$others" ]; then
        echo "FAIL $(basename "$exe") needs DLLs that Windows does not have:" $others
        failures=$((failures + 1))
    fi
done

scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all DISPLAY= WAYLAND_DISPLAY=
sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
    timeout 30 wineserver -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

echo "== Wine prefix =="
start=$(date +%s)
if ! timeout 180 wineboot -i >"$scratch/wineboot.log" 2>&1; then
    cat "$scratch/wineboot.log"
    echo "wineboot failed"
    exit 1
fi
# One server for the whole stage, its messages in a log: by itself it ends 3 s after its
# last client, and the next program would start one that writes into that program's output.
# (It notes a SIGHUP whenever the simulator hangs up a line it holds open.)
timeout 60 wineserver -w
wineserver -p >"$scratch/wineserver.log" 2>&1
echo "made in $(($(date +%s) - start)) s ($(wine --version))"
# "MS Shell Dlg", the dialogs' font, is Tahoma on Windows; without it Wine falls back on a
# serif font. Debian's fonts-wine has Wine's own Tahoma.
cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# The window's tests reach the Linux simulator (tests/common/SimProcess_win32.cpp).
[ -x "$sim" ] || make build BUILD="$linux_build"
export FERNWELL_TEST_SIM=$sim
# The window and its tests run on Qt's Windows platform (the dialog font's real metrics), in
# Xvfb with a window manager.
window=0
if [ -x "$bin/fernwell.exe" ]; then
    window=1
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
    sims+=("$!")
    for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
    export DISPLAY=$display WINEQT_QPA_PLATFORM=windows
    openbox >"$scratch/openbox.log" 2>&1 &
    sims+=("$!")
fi

echo "== Tests under Wine =="
tests_run=0 tests_passed=0 tests_skipped=0 tests_failed=0 tests_left_out=0
count() {  # the number in gtest's summary line "[  <word>  ] N test(s)", or 0
    sed -n "s/^\[ *$1 *\] \([0-9][0-9]*\) tests\?[,.].*/\1/p" "$2" | head -1 | grep . || echo 0
}
for exe in "$bin"/*_tests.exe; do
    name=$(basename "$exe")
    log=$scratch/$name.log
    status=0
    timeout 900 wine "$exe" >"$log" 2>&1 || status=$?
    run=$(sed -n 's/^\[==========\] \([0-9][0-9]*\) tests\? from .* ran\..*/\1/p' "$log")
    passed=$(count PASSED "$log") skipped=$(count SKIPPED "$log") failed=$(count FAILED "$log")
    if [ "$status" -ne 0 ] || [ -z "$run" ] || [ "$failed" -ne 0 ]; then
        cat "$log"
        echo "FAIL $name: exit $status, ${run:-no} tests run, $failed failed"
        failures=$((failures + 1))
        [ -n "$run" ] || run=0
    else
        grep '^\[  SKIPPED \] [A-Za-z]' "$log" || true
        # Left out: what the Linux build of the same program has and this one does not (the
        # files that need a pseudo-terminal of their own or Linux devices).
        linux_exe=$linux_build/bin/${name%.exe} left_out=0
        if [ -x "$linux_exe" ]; then
            left_out=$(($("$linux_exe" --gtest_list_tests | grep -c '^  ') - run))
        fi
        tests_left_out=$((tests_left_out + left_out))
        echo "ok   $name: $run run, $passed passed, $skipped skipped, $left_out left out"
    fi
    tests_run=$((tests_run + run)) tests_passed=$((tests_passed + passed))
    tests_skipped=$((tests_skipped + skipped)) tests_failed=$((tests_failed + failed))
done

echo "== fernwell-cli.exe against fernwell-sim through Wine's COM ports =="
ports_dir=$scratch/ports
mkdir -p "$ports_dir"
cli_passed=0 cli_skipped=0 cli_failed=0

# start_sim COM [SWITCH...]: starts the Linux simulator, waits for the pseudo-terminal it
# prints and maps it to COM port COM in the prefix. Sets sim_pid.
start_sim() {
    local com=$1 pty=""
    shift
    "$sim" --port "$com" --ports-dir "$ports_dir" "$@" >"$scratch/sim$com.out" \
        2>"$scratch/sim$com.err" &
    sim_pid=$!
    sims+=("$sim_pid")
    for _ in $(seq 50); do
        pty=$(head -1 "$scratch/sim$com.out")
        [ -z "$pty" ] || break
        sleep 0.1
    done
    if [[ $pty != /dev/* ]]; then
        cat "$scratch/sim$com.out" "$scratch/sim$com.err"
        echo "fernwell-sim did not start"
        exit 1
    fi
    ln -sfn "$pty" "$WINEPREFIX/dosdevices/com$com"
}
stop_sim() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
}

# cli ARG...: runs fernwell-cli.exe and collects it.
cli() {
    cli_start "$@"
    cli_finish
}
# cli_start ARG...: starts fernwell-cli.exe in the background (cli_pid); cli_finish waits for
# it and sets rc, out and err (standard output and error, without the CR the C runtime puts
# before every line feed of a text stream) and ms (milliseconds from cli_finish's call, or
# from cli_start's when given "started").
cli_start() {
    t0=$(date +%s%N)
    timeout 120 wine "$bin/fernwell-cli.exe" "$@" >"$scratch/out" 2>"$scratch/err" &
    cli_pid=$!
}
cli_finish() {
    [ "${1:-}" = started ] || t0=$(date +%s%N)
    rc=0
    wait "$cli_pid" || rc=$?
    ms=$((($(date +%s%N) - t0) / 1000000))
    out=$(tr -d '\r' <"$scratch/out") err=$(tr -d '\r' <"$scratch/err")
}

# check [--within MS] NAME RC [PATTERN...]: the last cli call ended with exit status RC (in
# less than MS milliseconds) and its output (standard output and error) matches each extended
# regular expression PATTERN; for !PATTERN does not match it; for N*PATTERN, at least N lines of
# standard output match it.
check() {
    local limit="" problem="" p
    if [ "$1" = --within ]; then
        limit=$2
        shift 2
    fi
    local name=$1 want=$2
    shift 2
    [ "$rc" -eq "$want" ] || problem="exit status $rc, wanted $want"
    [ -z "$limit" ] || [ "$ms" -lt "$limit" ] || problem+="${problem:+; }took $ms ms"
    for p in "$@"; do
        if [[ $p =~ ^([0-9]+)\*(.*)$ ]]; then
            [ "$(grep -Ec -- "${BASH_REMATCH[2]}" <<<"$out")" -ge "${BASH_REMATCH[1]}" ] ||
                problem+="${problem:+; }fewer than ${BASH_REMATCH[1]} lines match /${BASH_REMATCH[2]}/"
        elif [[ $p == !* ]]; then
            ! grep -Eq -- "${p:1}" <<<"$out"$'\n'"$err" || problem+="${problem:+; }matches /${p:1}/"
        else
            grep -Eq -- "$p" <<<"$out"$'\n'"$err" || problem+="${problem:+; }no match for /$p/"
        fi
    done
    if [ -z "$problem" ]; then
        echo "ok   $name ($ms ms)"
        cli_passed=$((cli_passed + 1))
    else
        echo "FAIL $name: $problem"
        printf '%s\n' "--- standard output:" "$out" "--- standard error:" "$err" "---"
        cli_failed=$((cli_failed + 1))
    fi
}
skip() {
    echo "skip $1: $2"
    cli_skipped=$((cli_skipped + 1))
}

# One module on COM5 answering as a 612 while the line runs at 1200 baud and as a 640 at
# 4800, so each read proves the baud rate Wine set reached the line. COM7 is no serial port.
start_sim 5
ln -sfn /dev/null "$WINEPREFIX/dosdevices/com7"

cli --version
check "--version names the program and its version" 0 '^fernwell-cli [0-9]+\.[0-9]+$'
cli ports
check "ports: COM5 listed and free, COM7 (/dev/null) left out" 0 \
    '^COM5[[:space:]]+\\\\\.\\COM5[[:space:]]+free' '!^COM7'
cli --model 612 --port 5 --json read
check "read at 1200 baud (612)" 0 '"text1": "FERNWELL 612"' '"kFactor": [0-9]'
cli --model 640 --port 5 --json read
check "read at 4800 baud (640)" 0 '"text1": "FERNWELL 640"' '"highSetPoint": [0-9]'
cli --model 612 --port 5 poll
check "poll at 1200 baud (612)" 0 '^Flow rate: [0-9.]+ [a-z]'
cli --model 640 --port 5 poll
check "poll at 4800 baud (640)" 0 '^Flow rate: [0-9.]+ [a-z]' '^High alarm: ' '^Low alarm: '
cli --model 640 --port 5 status
check "status at 4800 baud (640)" 0 '^High alarm: .*\(word 0x[0-9a-f]{8}\)' \
    '^Low alarm: .*\(word 0x[0-9a-f]{8}\)'
cli --model 612 --port 5 status
check "status at 1200 baud (612): refused, the 612 has no alarms" 1 'add --model 640'

cli --model 612 --port 5 send sensor=tee row=4 unit=l/min pulseUnit=Liters pulseWidth=500 \
    pulseValue=12.5
check "send at 1200 baud (612), verified by its read-back" 0 \
    'Verified: the module holds every value sent'
cli --model 612 --port 5 --json read
check "read back at 1200 baud (612): the values sent" 0 '"sensorType": "tee"' '"row": 4,' \
    '"unitName": "l/min"' '"pulseUnitName": "Liters"' '"pulseWidth": 500,' \
    '"pulseValue": 12.5,'
cli --model 640 --port 5 send highSetPoint=99.5 highReleasePoint=90 lowAlarm=latched \
    highSetDelay=12
check "send at 4800 baud (640), verified by its read-back" 0 \
    'Verified: the module holds every value sent'
cli --model 640 --port 5 --json read
check "read back at 4800 baud (640): the values sent" 0 '"highSetPoint": 99.5,' \
    '"highReleasePoint": 90,' '"lowAlarmMode": 2,' '"highSetDelay": 12,'

# Settings files and the journal (in %LOCALAPPDATA%\Fernwell): a Windows path through Wine's
# drive Z:, which is the Linux root.
settings_file="Z:$scratch/640.json"
cli --model 640 --port 5 save "$settings_file" --note "as found"
check "save (640): the module's settings to a file" 0 'Saved the settings of the 640 on COM5'
cli --model 640 --port 5 send highSetPoint=101.5
cli --model 640 --port 5 diff "$settings_file"
check "diff (640): the one setting changed since the save, exit 5" 5 \
    'High Set Point \(highSetPoint\): module 101.5 gpm, file 99.5 gpm'
cli --model 640 --port 5 load "$settings_file"
check "load (640): the file uploaded and verified" 0 'Verified: the module holds every value sent'
cli --model 640 --port 5 diff "$settings_file"
check "diff (640): the module holds the file's settings again" 0 \
    'The module holds the same settings as the file'
cli --port 5 history
check "history: the uploads, from the journal in LOCALAPPDATA" 0 '3*COM5 640 fernwell-cli verified'

# The port the program stored: value CommPort of HKCU\Software\Fernwell, REG_BINARY, the
# port number in 4 bytes, little-endian.
for stored in 9 5; do
    if ! timeout 60 wine reg add 'HKCU\Software\Fernwell' /v CommPort /t REG_BINARY \
        /d "$(printf '%02x000000' "$stored")" /f >"$scratch/reg.log" 2>&1; then
        cat "$scratch/reg.log"
        echo "FAIL wine reg add CommPort $stored"
        cli_failed=$((cli_failed + 1))
    fi
    cli --model 640 poll
    if [ "$stored" = 9 ]; then
        check "stored port COM9 (no device): opening it fails" 2 '^Error Opening COM9: .'
    else
        check "stored port COM5: reached without --port" 0 '^Flow rate: [0-9.]+ [a-z]'
    fi
done

cli --model 612 --port 9 poll
check "a port without a device: exit 2 and the reason" 2 '^Error Opening COM9: .'
cli --model 612 --port 7 poll
check "a device that is no serial port: exit 2 and the reason" 2 \
    '^Error Opening COM7: .*not a serial port'

# Someone else holding COM5: Windows refuses every second open of a COM port.
timeout 60 wine "$bin/fernwell-cli.exe" --model 640 --port 5 watch --interval 1 \
    >/dev/null 2>&1 &
holder=$!
sleep 3
cli --model 640 ports
holding=0
! kill -INT "$holder" 2>/dev/null || holding=1
wait "$holder" 2>/dev/null || true
if [ "$holding" = 0 ]; then
    echo "FAIL the program holding COM5 (watch) was no longer running"
    cli_failed=$((cli_failed + 1))
elif grep -Eq '^COM5[[:space:]].*[[:space:]]free' <<<"$out"; then
    skip "ports: COM5 in use while another program holds it" \
        "Wine opens a COM port any number of times (no exclusive open of serial devices)"
else
    check "ports: COM5 in use while another program holds it" 0 '^COM5[[:space:]].*in use'
fi
skip "RTS on after the open" \
    "a pseudo-terminal has no modem lines (TIOCMGET fails), so the simulator cannot see RTS"
stop_sim

# The read's rules on Wine's time-outs: a quiet spell under 200 ms inside a reply does not
# end it, a longer one does, and a module that dribbles is cut at the read's deadline.
start_sim 6 --model 640 --pause-ms 150
cli --model 640 --port 6 poll
check "a reply with 150 ms of silence inside is read whole" 0 '^Flow rate: [0-9.]+ [a-z]'
stop_sim
start_sim 6 --model 640 --pause-ms 400
cli --model 640 --port 6 poll
check "400 ms of silence ends a reply: communication error" 3 'Error Communicating to Module'
stop_sim
start_sim 6 --model 640 --dribble-ms 150
cli --model 640 --port 6 poll
check --within 8000 "a module that dribbles is cut at the read deadline" 3 \
    'Error Communicating to Module'
stop_sim

# Ctrl-C (Wine hands SIGINT to the console control handler) ends an exchange at once.
start_sim 6 --model 640 --dribble-ms 100
cli_start --model 640 --port 6 poll
sleep 3
kill -INT "$cli_pid"
cli_finish
check --within 1500 "Ctrl-C ends a poll within a second or so: exit 130" 130 'Interrupted'
stop_sim
start_sim 6 --model 612 --fast --verbose
cli_start --port 6 send kFactor=2.5
for _ in $(seq 100); do  # until the first command of the upload has arrived
    ! grep -q '"d=' "$scratch/sim6.err" || break
    sleep 0.1
done
kill -INT "$cli_pid"
cli_finish
check --within 1500 "Ctrl-C ends an upload after its byte: exit 130, where it stopped" 130 \
    '^Interrupted \(COM6\): the upload stopped at .*stopped by the user'
stop_sim

# An upload that a hang-up cuts says where it stopped and why, in the system's words.
start_sim 6 --model 612 --fast --hangup-after-bytes 20
cli --port 6 send kFactor=2.5
check "send: a hang-up mid-upload names where it stopped and the system's reason" 3 \
    'the upload stopped at k=2\.5[0-9]*\\r \(a byte could not be sent: [^)]*[Nn]ot ready'
stop_sim

# The line hangs up after two answers; a new simulator (a new pseudo-terminal, mapped to
# the same COM port) comes 2.5 s later: watch says so and carries on.
start_sim 6 --model 612 --fast --flow 7.25 --hangup-after 2
first=$sim_pid
cli_start --port 6 watch --interval 0 --count 8
wait "$first" 2>/dev/null || true
sleep 2.5
start_sim 6 --model 612 --fast --flow 7.25
cli_finish started
check "watch: the port gone and back, readings before and after" 3 \
    'COM6: the port is gone' 'COM6: the port is back' '3*7\.25 mph'
stop_sim

if [ "$window" = 1 ]; then
echo "== fernwell.exe under Wine in Xvfb, against fernwell-sim on COM5 =="
shots=$root/$win_build/screenshots
mkdir -p "$shots"

# sim_saw PATTERN [SECONDS]: waits until the simulator's log (--verbose) has a line matching
# PATTERN.
sim_saw() {
    local _
    for _ in $(seq $((${2:-20} * 10))); do
        grep -Eq -- "$1" "$scratch/sim$sim_port.err" && return 0
        sleep 0.1
    done
    return 1
}
# window_step NAME CONDITION...: a step of the window's run, passed when CONDITION is true.
window_step() {
    local name=$1
    shift
    if "$@"; then
        echo "ok   $name"
        cli_passed=$((cli_passed + 1))
    else
        echo "FAIL $name"
        tail -20 "$scratch/sim$sim_port.err"
        cli_failed=$((cli_failed + 1))
    fi
}
# shot NAME TITLE: waits for the window titled TITLE (up to 20 s) and saves a PNG of it with
# its frame as $shots/NAME.png.
shot() {
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$2\$" 2>/dev/null | head -1)
    [ -n "$id" ] || return 1
    sleep 1  # its first paint
    timeout 20 import -silent -frame -window "$id" "$shots/$1.png"
}
# menu KEYS...: the main window's menus by keyboard, as a technician would (Alt, arrows).
menu() {
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name '^Fern Well$' 2>/dev/null | head -1)
    [ -n "$id" ] || return 1
    xdotool windowactivate --sync "$id" 2>/dev/null || true
    sleep 0.3
    xdotool key --delay 200 alt "$@"
}
start_window() {
    timeout 300 wine "$bin/fernwell.exe" >>"$scratch/fernwell.log" 2>&1 &
    window_pid=$!
}
stop_window() {
    timeout 30 wine taskkill /f /im fernwell.exe >/dev/null 2>&1 || true
    kill "$window_pid" 2>/dev/null || true
    wait "$window_pid" 2>/dev/null || true
}

sim_port=5
start_sim 5 --flow 12.34 --verbose  # auto: a 612 at 1200 baud, a 640 at 4800
timeout 60 wine reg add 'HKCU\Software\Fernwell' /v CommPort /t REG_BINARY /d 05000000 /f \
    >"$scratch/reg.log" 2>&1
start_window
window_step "fernwell.exe opens the stored COM5 and polls the 612 at 1200 baud" \
    sim_saw '"v" answered' 60
sleep 4  # the dump's 200-odd bytes at 1200 baud, then the flow is on screen
window_step "the main window in the Windows style, the first poll's flow shown (wine-main.png)" \
    shot wine-main "Fern Well"
menu Right Right Down Down Return  # Configuration > Parameters
window_step "Configuration > Parameters: the 612 dialog reads the module (wine-config612.png)" \
    shot wine-config612 "Fern Well 612 Configuration"
stop_window
start_window
menu Right Down Down Return  # Device > 642
window_step "Device > 642: the 640 answers its alarm status at 4800 baud" sim_saw '"h" answered'
menu Right Right Down Down Return
window_step "Configuration > Parameters: the 640 dialog reads the module (wine-config640.png)" \
    shot wine-config640 "Fern Well 640 Configuration"
stop_window
stored=$(timeout 60 wine reg query 'HKCU\Software\Fernwell' /v CommPort 2>/dev/null | tr -d '\r')
window_step "the port stays stored in Wine's registry (CommPort 05000000)" \
    grep -Eq 'CommPort[[:space:]]+REG_BINARY[[:space:]]+05000000' <<<"$stored"
stop_sim

echo "== The installer: silent install, the installed program, uninstall =="
setup=$(ls "$bin"/fernwell-*-setup.exe)
program_dir=$WINEPREFIX/drive_c/Program\ Files/Fernwell
timeout 120 wine "$setup" /S
window_step "$(basename "$setup") /S installs both programs into Program Files" \
    test -f "$program_dir/fernwell.exe" -a -f "$program_dir/fernwell-cli.exe"
version=$(timeout 60 wine "C:\\Program Files\\Fernwell\\fernwell-cli.exe" --version | tr -d '\r')
window_step "the installed fernwell-cli.exe runs: $version" grep -q '^fernwell-cli [0-9]' <<<"$version"
window_step "a Start menu entry and an Add/Remove Programs entry" bash -c \
    "{ ls \"$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Fernwell/\"*.lnk &&
       timeout 60 wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Fernwell' /v QuietUninstallString
     } >/dev/null 2>&1"
timeout 120 wine "C:\\Program Files\\Fernwell\\uninstall.exe" /S
for _ in $(seq 100); do [ -e "$program_dir" ] || break; sleep 0.2; done
window_step "uninstall.exe /S leaves no file of it, and the user's settings stay" bash -c \
    "! [ -e \"$program_dir\" ] &&
     ! [ -e \"$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Fernwell\" ] &&
     timeout 60 wine reg query 'HKCU\\Software\\Fernwell' /v CommPort >/dev/null 2>&1"
fi

echo "Windows: $tests_run tests run under Wine, $tests_passed passed, $tests_skipped skipped," \
     "$tests_failed failed, $tests_left_out left out; fernwell-cli, window and installer steps:" \
     "$cli_passed passed, $cli_skipped skipped, $cli_failed failed"
failures=$((failures + cli_failed))
if [ "$failures" -ne 0 ]; then
    echo "Windows stage: $failures failure(s)"
    exit 1
fi
