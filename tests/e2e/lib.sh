# End-to-end test library. A suite is a bash file in tests/e2e/linux/ (runs the
# native launcher) or tests/e2e/wine/ (runs corvid.exe under Wine); the runner
# tests/e2e/run.sh starts each suite as its own bash process. A suite begins
# with
#
#     source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
#
# and then makes checks. Each check prints "ok" or "FAIL" with its name; the
# counts go back to the runner when the suite ends. Variables must be set
# before use (set -u); a suite that stops with a non-zero status counts as one
# more failure. Run one suite with: tests/e2e/run.sh <kind> <build dir> NAME.
#
# Checks (NAME is what the report shows):
#   check NAME CMD [ARGS...]             CMD exits with status 0
#   check_status NAME EXPECTED CMD...    CMD exits with status EXPECTED
#   check_equal NAME EXPECTED ACTUAL     the two texts are equal, byte for byte
#   check_contains NAME TEXT PART        TEXT contains PART
#   check_not_contains NAME TEXT PART    TEXT does not contain PART
#   pass NAME / fail NAME [DETAIL...]    record a result decided by the suite
#
# Set-up and running:
#   $E2E_TMP                the suite's own temp dir (no "." in its path when
#                           TMPDIR has none); removed at the end unless
#                           CORVID_E2E_KEEP=1
#   $CORVID_BUILD_DIR       the build tree under test (absolute)
#   $CORVID_LAUNCHER        the launcher in it: src/corvid or src/corvid.exe
#   install_launcher DEST   copies the launcher to DEST (folders created)
#   write_file PATH TEXT    writes TEXT to PATH exactly (folders created)
#   run_captured [VAR=value...] CMD [ARGS...]
#                           runs CMD with a time limit ($E2E_TIMEOUT seconds,
#                           default 30) and no stdin; sets RUN_STATUS,
#                           RUN_STDOUT, RUN_STDERR (exact, trailing line breaks
#                           kept). A hung command ends with status 124.
#   perl_write FILE EXPR    writes the value of a Perl expression to FILE as
#                           bytes (random numbers seeded alike every time;
#                           $ENV{EOL} is the kind's line end)
#   kill_at_exit VAR        the process whose id VAR holds when the suite ends
#                           (a first instance left running, say) is killed
#
# The same in both kinds, for the cases in tests/e2e/cases/ that both run:
#   $E2E_KIND               linux or wine
#   $EOL                    the line end of configuration files: \n, or \r\n
#                           under Wine
#   host_path PATH          PATH as the launcher names it (the Z: drive path
#                           under Wine)
#   run_shown [VAR=value...] EXE [ARGS...]
#                           runs EXE (wine_run_msgbox under Wine) and keeps
#                           the message it showed for check_shown
#   check_shown NAME TEXT   the message shown was TEXT: the one line on
#                           standard error "PROGRAM: TEXT" on Linux; under Wine
#                           the box's text and the text Wine traced
#
# Wine suites additionally (the runner has prepared WINEPREFIX, a persistent
# wineserver, an X display and WINEDEBUG=-all):
#   wine_run [VAR=value...] EXE [ARGS...]
#                           run_captured of "wine EXE ARGS"; -1 comes back as 255
#   wine_run_msgbox [VAR=value...] EXE [ARGS...]
#                           runs EXE under wine with WINEDEBUG=-all,+msgbox and
#                           answers its (first) message box with
#                           $CORVID_UIDRIVER, tests/support/ui_driver_win.cpp (by
#                           the image name of EXE: never run two programs of the
#                           same file name at once). Sets RUN_STATUS,
#                           RUN_STDOUT, RUN_STDERR like run_captured, and
#                           MSGBOX_TEXT   text of the box read from its static
#                                         control, exact; empty when none
#                           MSGBOX_TITLE  the box's title
#                           MSGBOX_SHOWN  1 when a box was shown, else 0
#                           MSGBOX_TRACE  the texts Wine traced for the boxes
#                                         shown, decoded, one a line (inner
#                                         line breaks written as \n)
#   wine_run_jre_dialog [VAR=value...] EXE [ARGS...]
#                           runs EXE under wine and, when its runtime-not-found
#                           dialog appears, reads it and presses Cancel with
#                           $CORVID_UIDRIVER's picker mode.
#                           Sets RUN_STATUS, RUN_STDOUT, RUN_STDERR, and
#                           JRE_DIALOG   the dialog's state as the driver's
#                                        "show" prints it; empty when none
#   wine_start [VAR=value...] EXE [ARGS...]
#                           starts "wine EXE ARGS" in the background with the
#                           time limit of run_captured, for a suite that works
#                           its windows meanwhile; wine_wait then waits for it
#                           and sets RUN_STATUS, RUN_STDOUT, RUN_STDERR
#   ui_dialog [--title TEXT] STEP...
#                           drives a dialog of the program wine_start started
#                           (found by its image name) with $CORVID_UIDRIVER's
#                           dialog mode (steps: see its header); sets
#                           DIALOG_STATUS and DIALOG_OUTPUT (the driver's
#                           standard output; its errors in DIALOG_ERROR)
#   dialog_line ID          the driver's "control" line of control ID in
#                           DIALOG_OUTPUT ("dialog" for the dialog's own line)
#   dialog_field ID N       field N (1-based, tab-separated) of that line
#   wine_private_prefix     gives the rest of the suite a private copy of the
#                           prepared prefix with its own wineserver (for suites
#                           that change the registry or the Windows folders)
#   to_windows_path PATH    the Z: drive path Wine gives a Unix path
#
# A suite that needs something the machine lacks fails with a clear message
# rather than skipping.

set -u

E2E_SUITE=$(basename "${0%.sh}")
E2E_KIND=$(basename "$(dirname "$0")")
EOL=$'\n'
[[ $E2E_KIND == wine ]] && EOL=$'\r\n'
E2E_PASSED=0
E2E_FAILED=0
E2E_TIMEOUT=${CORVID_E2E_TIMEOUT:-30}
: "${CORVID_BUILD_DIR:?run suites through tests/e2e/run.sh}"
: "${CORVID_LAUNCHER:?run suites through tests/e2e/run.sh}"
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/corvid-e2e-XXXXXX")
E2E_PRIVATE_WINESERVER=""
_E2E_KILL_AT_EXIT=()

# shellcheck source=wine_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"

_e2e_finish() {
    local status=$? var
    for var in "${_E2E_KILL_AT_EXIT[@]}"; do
        [[ -n ${!var:-} ]] && kill -9 "${!var}" 2>/dev/null
    done
    if [[ -n $E2E_PRIVATE_WINESERVER ]]; then
        WINEPREFIX=$E2E_PRIVATE_WINESERVER wineserver -k 2>/dev/null || true
    fi
    if [[ ${CORVID_E2E_KEEP:-0} == 1 ]]; then
        echo "  (kept $E2E_TMP)"
    else
        rm -rf "$E2E_TMP"
    fi
    echo "$E2E_SUITE: $E2E_PASSED passed, $E2E_FAILED failed"
    if [[ -n ${CORVID_E2E_RESULTS:-} ]]; then
        echo "$E2E_PASSED $E2E_FAILED" >"$CORVID_E2E_RESULTS"
    fi
    exit "$status"
}
trap _e2e_finish EXIT

pass() {
    E2E_PASSED=$((E2E_PASSED + 1))
    echo "  ok   $1"
}

fail() {
    local name=$1
    shift
    E2E_FAILED=$((E2E_FAILED + 1))
    echo "  FAIL $name"
    local line
    for line in "$@"; do
        printf '       %s\n' "$line"
    done
}

# Shows a text on one line with its control characters written as escapes,
# so that a difference in a line break or a blank can be seen in the report.
_visible() {
    local text=$1
    text=${text//\\/\\\\}
    text=${text//$'\r'/\\r}
    text=${text//$'\t'/\\t}
    text=${text//$'\n'/\\n}
    if ((${#text} > 1000)); then text="${text:0:1000}..."; fi
    printf '"%s"' "$text"
}

# require_files FILE...: ends the suite with one failure when a program or
# library that the build makes is missing.
require_files() {
    local file
    for file in "$@"; do
        if [[ ! -f $file ]]; then
            fail "prerequisites" "missing $file: build the tests"
            exit 1
        fi
    done
}

check() {
    local name=$1
    shift
    local status=0
    "$@" || status=$?
    if [[ $status == 0 ]]; then
        pass "$name"
    else
        fail "$name" "command failed with status $status: $*"
    fi
}

check_status() {
    local name=$1 expected=$2
    shift 2
    local status=0
    "$@" || status=$?
    if [[ $status == "$expected" ]]; then
        pass "$name"
    else
        fail "$name" "expected status $expected, got $status: $*"
    fi
}

check_equal() {
    local name=$1 expected=$2 actual=$3
    if [[ $expected == "$actual" ]]; then
        pass "$name"
    else
        fail "$name" "expected: $(_visible "$expected")" "actual:   $(_visible "$actual")"
    fi
}

check_contains() {
    local name=$1 text=$2 part=$3
    if [[ $text == *"$part"* ]]; then
        pass "$name"
    else
        fail "$name" "missing: $(_visible "$part")" "in:      $(_visible "$text")"
    fi
}

check_not_contains() {
    local name=$1 text=$2 part=$3
    if [[ $text != *"$part"* ]]; then
        pass "$name"
    else
        fail "$name" "unexpected: $(_visible "$part")" "in:         $(_visible "$text")"
    fi
}

kill_at_exit() {
    _E2E_KILL_AT_EXIT+=("$1")
}

perl_write() {
    EOL=$EOL perl -e 'binmode STDOUT; srand(7); print eval $ARGV[0]; die $@ if $@' "$2" >"$1"
}

host_path() {
    if [[ $E2E_KIND == wine ]]; then to_windows_path "$1"; else printf '%s' "$1"; fi
}

run_shown() {
    _split_assignments "$@"
    _E2E_SHOWN_BY=$(basename "${_E2E_COMMAND[0]}")
    if [[ $E2E_KIND == wine ]]; then wine_run_msgbox "$@"; else run_captured "$@"; fi
}

check_shown() {
    if [[ $E2E_KIND == wine ]]; then
        check_equal "$1" "$2" "$MSGBOX_TEXT"
        check_equal "$1, traced by Wine" "$2" "$MSGBOX_TRACE"
    else
        check_equal "$1" "$_E2E_SHOWN_BY: $2"$'\n' "$RUN_STDERR"
    fi
}

install_launcher() {
    mkdir -p "$(dirname "$1")"
    cp "$CORVID_LAUNCHER" "$1"
}

write_file() {
    mkdir -p "$(dirname "$1")"
    printf '%s' "$2" >"$1"
}

# Reads a file into the named variable exactly, trailing line breaks included.
_read_exact() {
    local -n _target=$1
    _target=$(
        cat "$2"
        printf x
    )
    _target=${_target%x}
}

# Splits leading VAR=value arguments into _E2E_ASSIGN; the rest into _E2E_COMMAND.
_split_assignments() {
    _E2E_ASSIGN=()
    while [[ $# -gt 0 && $1 =~ ^[A-Za-z_][A-Za-z0-9_]*= ]]; do
        _E2E_ASSIGN+=("$1")
        shift
    done
    _E2E_COMMAND=("$@")
}

run_captured() {
    _split_assignments "$@"
    RUN_STATUS=0
    env "${_E2E_ASSIGN[@]}" timeout -k 5 "$E2E_TIMEOUT" "${_E2E_COMMAND[@]}" \
        >"$E2E_TMP/.stdout" 2>"$E2E_TMP/.stderr" </dev/null || RUN_STATUS=$?
    _read_exact RUN_STDOUT "$E2E_TMP/.stdout"
    _read_exact RUN_STDERR "$E2E_TMP/.stderr"
    if [[ $RUN_STATUS == 124 ]]; then
        echo "  (timed out after ${E2E_TIMEOUT}s: ${_E2E_COMMAND[*]})"
    fi
}

# sign_and_verify IN OUT: signs IN into OUT with a throw-away certificate
# (osslsigncode, the key and certificate beside OUT) and checks that the
# signature verifies.
sign_and_verify() {
    local dir
    dir=$(dirname "$2")
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" -days 2 \
        -subj "/CN=corvid test" >/dev/null 2>&1
    run_captured osslsigncode sign -certs "$dir/cert.pem" -key "$dir/key.pem" -in "$1" -out "$2"
    check_equal "sign: exit code" 0 "$RUN_STATUS"
    run_captured osslsigncode verify -CAfile "$dir/cert.pem" -in "$2"
    check_contains "sign: the signature verifies" "$RUN_STDOUT" "Signature verification: ok"
}

# ---- Wine ----------------------------------------------------------------

wine_run() {
    _split_assignments "$@"
    run_captured "${_E2E_ASSIGN[@]}" wine "${_E2E_COMMAND[@]}"
}

to_windows_path() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}
# The suites' short name for it.
win() { to_windows_path "$1"; }

# Wine traces a box's text as L"..." with C escapes; this gives the texts back.
_decode_msgbox_trace() {
    perl -CS -ne '
        next unless /:trace:msgbox:MSGBOX_OnInit L"(.*)"\s*$/;
        my $t = $1;
        $t =~ s/\\(x[0-9a-fA-F]{4}|u[0-9a-fA-F]{4}|.)/
            my $e = $1;
            length($e) == 5 ? chr(hex(substr($e, 1))) :
            $e eq "n" ? "\n" : $e eq "r" ? "\r" : $e eq "t" ? "\t" : $e/ge;
        $t =~ s/\n/\\n/g;
        print "$t\n";'
}

# A Wine program that neither showed a box nor ended within the time limit is
# started once more: under load Wine has been seen, once in thousands of
# starts, never to run a program at all. A launcher that really hangs times
# out twice, and the note below says so each time.
wine_run_msgbox() {
    _wine_run_msgbox_once "$@"
    if [[ $RUN_STATUS == 124 && $MSGBOX_SHOWN == 0 ]]; then
        echo "  (no box and no end within ${E2E_TIMEOUT}s: started once more)"
        _wine_run_msgbox_once "$@"
    fi
}

_wine_run_msgbox_once() {
    _split_assignments "$@"
    local exe=${_E2E_COMMAND[0]}
    : "${CORVID_UIDRIVER:?the Wine build has no corvid_uidriver.exe}"
    rm -f "$E2E_TMP/.msgbox"
    env "${_E2E_ASSIGN[@]}" WINEDEBUG=-all,+msgbox timeout -k 5 "$E2E_TIMEOUT" wine "${_E2E_COMMAND[@]}" \
        >"$E2E_TMP/.stdout" 2>"$E2E_TMP/.stderr" </dev/null &
    local launcher=$!
    timeout -k 5 "$E2E_TIMEOUT" wine "$CORVID_UIDRIVER" --image "$(basename "$exe")" --with-title \
        --timeout $((E2E_TIMEOUT * 1000)) >"$E2E_TMP/.msgbox" 2>"$E2E_TMP/.driver" </dev/null &
    local driver=$!
    RUN_STATUS=0
    wait "$launcher" || RUN_STATUS=$?
    _read_exact RUN_STDOUT "$E2E_TMP/.stdout"
    _read_exact RUN_STDERR "$E2E_TMP/.stderr"
    MSGBOX_TRACE=$(_decode_msgbox_trace <"$E2E_TMP/.stderr")
    # The launcher cannot end while its box is open: when it has ended and
    # traced no box, there is nothing for the driver to find.
    if [[ -z $MSGBOX_TRACE ]]; then
        kill "$driver" 2>/dev/null || true
        wait "$driver" 2>/dev/null || true
        MSGBOX_SHOWN=0
        MSGBOX_TEXT=""
        MSGBOX_TITLE=""
    else
        wait "$driver" || echo "  (corvid_uidriver: $(cat "$E2E_TMP/.driver"))"
        MSGBOX_SHOWN=1
        _read_exact MSGBOX_TEXT "$E2E_TMP/.msgbox"
        # The driver writes the title, a line break, then the text.
        MSGBOX_TITLE=${MSGBOX_TEXT%%$'\n'*}
        MSGBOX_TEXT=${MSGBOX_TEXT#*$'\n'}
    fi
    if [[ $RUN_STATUS == 124 ]]; then
        echo "  (timed out after ${E2E_TIMEOUT}s: ${_E2E_COMMAND[*]})"
    fi
}

wine_run_jre_dialog() {
    _split_assignments "$@"
    local exe=${_E2E_COMMAND[0]}
    : "${CORVID_UIDRIVER:?the Wine build has no corvid_uidriver.exe}"
    env "${_E2E_ASSIGN[@]}" timeout -k 5 "$E2E_TIMEOUT" wine "${_E2E_COMMAND[@]}" \
        >"$E2E_TMP/.stdout" 2>"$E2E_TMP/.stderr" </dev/null &
    local launcher=$!
    : >"$E2E_TMP/.jre"
    timeout -k 5 "$E2E_TIMEOUT" wine "$CORVID_UIDRIVER" picker --image "$(basename "$exe")" \
        --timeout $((E2E_TIMEOUT * 1000)) show >"$E2E_TMP/.jre" 2>"$E2E_TMP/.driver" </dev/null &
    local driver=$!
    while kill -0 "$launcher" 2>/dev/null && kill -0 "$driver" 2>/dev/null; do sleep 0.1; done
    JRE_DIALOG=""
    if kill -0 "$driver" 2>/dev/null; then
        # The launcher ended without a dialog.
        kill "$driver" 2>/dev/null || true
        wait "$driver" 2>/dev/null || true
    elif wait "$driver"; then
        JRE_DIALOG=$(cat "$E2E_TMP/.jre")
        timeout -k 5 "$E2E_TIMEOUT" wine "$CORVID_UIDRIVER" picker --image "$(basename "$exe")" cancel </dev/null \
            2>>"$E2E_TMP/.driver" || echo "  (corvid_uidriver: $(cat "$E2E_TMP/.driver"))"
    fi
    RUN_STATUS=0
    wait "$launcher" || RUN_STATUS=$?
    _read_exact RUN_STDOUT "$E2E_TMP/.stdout"
    _read_exact RUN_STDERR "$E2E_TMP/.stderr"
    if [[ $RUN_STATUS == 124 ]]; then
        echo "  (timed out after ${E2E_TIMEOUT}s: ${_E2E_COMMAND[*]})"
    fi
}

wine_start() {
    _split_assignments "$@"
    _E2E_STARTED_IMAGE=$(basename "${_E2E_COMMAND[0]}")
    env "${_E2E_ASSIGN[@]}" timeout -k 5 "$E2E_TIMEOUT" wine "${_E2E_COMMAND[@]}" \
        >"$E2E_TMP/.stdout" 2>"$E2E_TMP/.stderr" </dev/null &
    _E2E_STARTED_PID=$!
}

wine_wait() {
    RUN_STATUS=0
    wait "$_E2E_STARTED_PID" || RUN_STATUS=$?
    _read_exact RUN_STDOUT "$E2E_TMP/.stdout"
    _read_exact RUN_STDERR "$E2E_TMP/.stderr"
    if [[ $RUN_STATUS == 124 ]]; then
        echo "  (timed out after ${E2E_TIMEOUT}s: $_E2E_STARTED_IMAGE)"
    fi
}

ui_dialog() {
    : "${CORVID_UIDRIVER:?the Wine build has no corvid_uidriver.exe}"
    DIALOG_STATUS=0
    DIALOG_OUTPUT=$(timeout -k 5 "$E2E_TIMEOUT" wine "$CORVID_UIDRIVER" dialog --image "$_E2E_STARTED_IMAGE" \
        --timeout $((E2E_TIMEOUT * 1000)) "$@" 2>"$E2E_TMP/.driver" </dev/null) || DIALOG_STATUS=$?
    DIALOG_ERROR=$(cat "$E2E_TMP/.driver")
}

dialog_line() {
    if [[ $1 == dialog ]]; then
        grep -m1 $'^dialog\t' <<<"$DIALOG_OUTPUT"
    else
        grep -m1 "^control"$'\t'"$1"$'\t' <<<"$DIALOG_OUTPUT"
    fi
}

dialog_field() {
    dialog_line "$1" | cut -f "$2"
}

wine_private_prefix() {
    : "${CORVID_WINE_TEMPLATE:?no prepared Wine prefix}"
    local prefix=$E2E_TMP/wineprefix
    wine_copy_prefix "$CORVID_WINE_TEMPLATE" "$prefix" || {
        fail "private Wine prefix" "could not copy $CORVID_WINE_TEMPLATE"
        exit 1
    }
    export WINEPREFIX=$prefix
    E2E_PRIVATE_WINESERVER=$prefix
    wineserver -p >/dev/null 2>&1 </dev/null
    # Wine's services start with the first program; see wine_env_start.
    timeout 60 wine cmd /c exit 0 >/dev/null 2>&1 </dev/null
}
