# Single-instance mode of corvid.exe under Wine, with the test JVM library
# (tests/support/test_jvm) as the first instance's JVM: two launcher
# processes meet through the real shared block, registered message and
# thread messages. corvid_blockwriter plays a foreign process that writes
# into the block while the first instance runs.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
writer=$CORVID_BUILD_DIR/tests/corvid_blockwriter.exe
require_files "$test_jvm" "$writer"

app=$E2E_TMP/app
install_launcher "$app/app.exe"
mkdir -p "$E2E_TMP/rt/bin/server" "$E2E_TMP/rt/lib"
cp "$test_jvm" "$E2E_TMP/rt/bin/server/jvm.dll"
log=$E2E_TMP/jvm.log
world=$E2E_TMP/world.txt
stop=$E2E_TMP/stop
jvm_env=(CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")"
    CORVID_TEST_JVM_STOP="$(win "$stop")" LC_ALL=C.UTF-8)
FIRST_PID=""
# A first instance left running by a failed check is ended with the suite.
kill_at_exit FIRST_PID

# configure WORLD [APPLICATION_LINES]
configure() {
    write_file "$app/app.ini" "[Java Runtime Environment]
Main Class=app.Main
JRE Path=$(win "$E2E_TMP/rt")
[Class Path]
Class Path=app.jar
[Application]
${2:-Single Instance=yes}
"
    write_file "$world" "$1"
}

# start_first [EXE] [ARGS...]: a first instance in the background; waits
# until its main runs unless NO_WAIT is set. NAME is the channel's name.
start_first() {
    local exe=${1:-$app/app.exe}
    shift || true
    rm -f "$log" "$stop" "$E2E_TMP"/first.*
    (env "${jvm_env[@]}" CORVID_TRACE="$(win "$E2E_TMP/first.trace")" \
        timeout -k 5 120 wine "$exe" "$@" >"$E2E_TMP/first.out" 2>"$E2E_TMP/first.err" </dev/null) &
    FIRST_PID=$!
    local i
    for ((i = 0; i < 600; i++)); do
        [[ -n ${NO_WAIT:-} && -f $log ]] && break
        grep -q '^main thread=' "$log" 2>/dev/null && break
        sleep 0.05
    done
    NAME=$(sed -n 's/.*single instance on: channel //p' "$E2E_TMP/first.trace" 2>/dev/null | head -1)
}

stop_first() {
    touch "$stop"
    FIRST_STATUS=0
    wait "$FIRST_PID" || FIRST_STATUS=$?
    FIRST_PID=""
}

second() { wine_run "${jvm_env[@]}" "$app/app.exe" "$@"; }
count_lines() { grep -cxF -- "$2" <<<"$1" || true; }
first_out() { tr -d '\r' <"$E2E_TMP/first.out"; }

# ---- the void form ---------------------------------------------------------------
configure "class app/Main main=wait-stop,exit:4 secondaryMain=print,sleep:1500,throw"
start_first "" first-arg
check_equal "the channel is named after the executable's path" \
    "$(win "$app/app.exe" | tr '\\' _)" "$NAME"
started=$EPOCHREALTIME
second a "" b
elapsed_ms=$(((${EPOCHREALTIME/./} - ${started/./}) / 1000))
check_equal "void form: the second start ends with 0" 0 "$RUN_STATUS"
if ((elapsed_ms < 1400)); then pass "void form: released before secondaryMain ends (${elapsed_ms} ms)"; else fail "void form: released before secondaryMain ends" "took ${elapsed_ms} ms"; fi
second
check_equal "void form: 0 although secondaryMain throws" 0 "$RUN_STATUS"
sleep 1.6
stop_first
check_equal "void form: the first instance ends with its own code" 4 "$FIRST_STATUS"
LOG=$(cat "$log")
check_equal "void form: an empty argument ends the list; none reads as one empty text" \
    "secondaryMain args=1|arg 0 a|secondaryMain args=1|arg 0 |" \
    "$(grep -E '^(secondaryMain thread=|arg )' <<<"$LOG" | sed 's/ thread=[0-9]*//' | tr '\n' '|')"
check_contains "void form: the throw is described" "$(tr -d '\r' <"$E2E_TMP/first.err")" \
    "java.lang.IllegalStateException: thrown by the test world"
# System.exit ends the Java thread without its detach: these are the workers'.
check_equal "void form: each request's thread detached" 2 "$(grep -c '^DetachCurrentThread' <<<"$LOG")"
check_not_contains "void form: JNI's rules kept" "$LOG" "misuse:"

# ---- the int form ------------------------------------------------------------------
configure "class app/Main main=wait-stop,exit:3 secondaryMainInt=print,return-arg"
start_first
for value in 42 -3; do
    second "$value"
    check_equal "int form: $value is the exit code" $(((value + 256) % 256)) "$RUN_STATUS"
done
second 11 "$(printf 'x%.0s' {1..1039})"
check_equal "int form: 1041 bytes of arguments end with -1" 255 "$RUN_STATUS"
second 12 "$(printf 'y%.0s' {1..1035})"
check_equal "int form: exactly 1040 bytes are delivered" 12 "$RUN_STATUS"

start_second() { env "${jvm_env[@]}" timeout -k 5 60 wine "$app/app.exe" "$@"; }
source "$(dirname "${BASH_SOURCE[0]}")/../cases/single_instance.sh"

# ---- a foreign writer of the block ---------------------------------------------------
run_captured wine "$writer" "$NAME" fill 65
check_equal "garbage: no terminator anywhere is an empty list, answered" "reply 0" "$(tr -d '\r' <<<"$RUN_STDOUT")"
run_captured wine "$writer" "$NAME" fill 0
check_equal "garbage: all zero is one empty text, answered" "reply 0" "$(tr -d '\r' <<<"$RUN_STDOUT")"
run_captured wine "$writer" "$NAME" show
ids=$(tr -d '\r' <<<"$RUN_STDOUT")
read -r _ thread process _ <<<"$ids"
run_captured wine "$writer" "$NAME" ids 4294967280 4294967280
started=$EPOCHREALTIME
second 13
elapsed_ms=$(((${EPOCHREALTIME/./} - ${started/./}) / 1000))
check_equal "garbage ids: the second start gives up with -1" 255 "$RUN_STATUS"
if ((elapsed_ms < 15000)); then pass "garbage ids: within the bounded retry (${elapsed_ms} ms)"; else fail "garbage ids: within the bounded retry" "took ${elapsed_ms} ms"; fi
writer_started=$EPOCHREALTIME
(timeout 30 wine "$writer" "$NAME" self 2500 >"$E2E_TMP/self.out" 2>&1 </dev/null) &
writer_pid=$!
for ((i = 0; i < 200; i++)); do grep -q self "$E2E_TMP/self.out" 2>/dev/null && break; sleep 0.05; done
second 14
# It never took the request: its exit code is no answer.
check_equal "ids of a live non-launcher: the second start fails, nobody took its request" 255 "$RUN_STATUS"
elapsed_ms=$(((${EPOCHREALTIME/./} - ${writer_started/./}) / 1000))
if ((elapsed_ms >= 2500)); then pass "ids of a live non-launcher: ... after that process's end"; else fail "ids of a live non-launcher: ... after that process's end" "after ${elapsed_ms} ms"; fi
wait "$writer_pid" || true
run_captured wine "$writer" "$NAME" ids "$thread" "$process"
second 15
check_equal "garbage: the first instance still serves once the ids are back" 15 "$RUN_STATUS"
stop_first
check_equal "int form: the first instance ends with its own code" 3 "$FIRST_STATUS"
out=$(first_out)
printed_line() { printf 'tag%s' "$1"; }
check_delivered_once "$out" printed_line
check_equal "int form: nothing of the too long request arrived" 0 "$(grep -c '^11$' <<<"$out")"
LOG=$(cat "$log")
check_equal "int form: one call per request (2 + 1 + 20 + 2 garbage + 1)" 26 "$(grep -c '^secondaryMain thread=' <<<"$LOG")"
check_not_contains "int form: JNI's rules kept" "$LOG" "misuse:"

# ---- main has returned; the launcher waits in DestroyJavaVM for the program -------
configure "class app/Main main=linger:4000 secondaryMainInt=return-arg"
start_first
for ((i = 0; i < 100; i++)); do grep -q '^DestroyJavaVM thread=' "$log" 2>/dev/null && break; sleep 0.05; done
check_contains "in DestroyJavaVM: main has returned" "$(cat "$log")" "DestroyJavaVM thread="
second 62
check_equal "in DestroyJavaVM: the program is still served" 62 "$RUN_STATUS"
stop_first
check_equal "in DestroyJavaVM: the first instance ends with 0 when the program's thread ends" 0 "$FIRST_STATUS"

# A secondaryMain still running when the program's last thread ends: as the
# JVM does, the first instance ends only after it, and its start gets its answer.
configure "class app/Main main=wait-stop secondaryMainInt=sleep:1500,print,return-arg"
start_first
(env "${jvm_env[@]}" timeout -k 5 60 wine "$app/app.exe" 63 >/dev/null 2>&1 </dev/null; echo $? >"$E2E_TMP/past.status") &
waiting=$!
for ((i = 0; i < 400; i++)); do grep -q '^secondaryMain thread=' "$log" 2>/dev/null && break; sleep 0.05; done
stop_first
wait "$waiting" || true
check_equal "secondaryMain past the program's end: answered" 63 "$(cat "$E2E_TMP/past.status")"
check_contains "secondaryMain past the program's end: it ran to its end" "$(cat "$log")" "arg 0 63"

# ---- documents opened while first instances end ------------------------------------------
# Thirty starts over three seconds; every instance lingers 1.5 s after its
# main (or ends with System.exit(7)), also the starts that become first
# instances, so several end while requests come in.
race_start() {
    env "${jvm_env[@]}" timeout -k 5 60 wine "$app/app.exe" $((100 + $1)) "doc$1" >/dev/null 2>&1 </dev/null
    echo $? >"$E2E_TMP/race/$1"
}
handled_count() { grep -c "^arg 1 doc$1\$" "$log" || true; }
source "$(dirname "${BASH_SOURCE[0]}")/../cases/single_instance_race.sh"
configure "class app/Main main=print,linger:1500 secondaryMainInt=print,return-arg"
start_first
run_race "race, instances ending by returning" 30 0.1 :
stop_first
configure "class app/Main main=print,sleep:1500,exit:7 secondaryMainInt=print,return-arg"
start_first
run_race "race, instances ending by System.exit" 30 0.1 : 7
stop_first

# ---- no secondaryMain: answered -1 at once; a first instance ended from outside ---------
configure "class app/Main main=wait-stop,exit:9"
start_first
second orphan
check_equal "no secondaryMain: the second start ends with -1" 255 "$RUN_STATUS"
check "no secondaryMain: ... while the first instance runs on" kill -0 "$FIRST_PID"
stop_first
check_equal "no secondaryMain: the first instance keeps its exit code" 9 "$FIRST_STATUS"
check_not_contains "no secondaryMain: nothing printed" "$(tr -d '\r' <"$E2E_TMP/first.err")" "NoSuchMethodError"
check_contains "no secondaryMain: the trace says why" "$(cat "$E2E_TMP/first.trace")" "the main class has no secondaryMain"

# A second start that waits inside secondaryMain when the first instance is ended.
configure "class app/Main main=wait-stop,exit:9 secondaryMainInt=wait-stop,return-arg"
start_first
(env "${jvm_env[@]}" timeout -k 5 60 wine "$app/app.exe" orphan >/dev/null 2>&1 </dev/null) &
waiting=$!
sleep 1
run_captured wine "$writer" "$NAME" terminate
status=0
wait "$waiting" || status=$?
check_equal "terminated first instance: the waiting start ends with its exit code" 99 "$status"
wait "$FIRST_PID" 2>/dev/null || true
FIRST_PID=""
configure "class app/Main main=wait-stop,exit:0 secondaryMainInt=return-arg"
start_first
check_contains "terminated first instance: the next start is a first instance" "$(cat "$E2E_TMP/first.trace")" "first instance"
second 16
check_equal "terminated first instance: the new one serves" 16 "$RUN_STATUS"
stop_first

# ---- a second start during the first instance's JVM creation -------------------------
configure "create-delay 2000
class app/Main main=wait-stop,exit:0 secondaryMainInt=return-arg"
NO_WAIT=1 start_first
for ((i = 0; i < 200; i++)); do grep -q 'delays' "$log" 2>/dev/null && break; sleep 0.05; done
second 77
check_equal "during JVM creation: served once the JVM is up" 77 "$RUN_STATUS"
order=$(grep -oE 'forwarded request taken|JNI_CreateJavaVM returned 0|forwarded request: int' "$E2E_TMP/first.trace" | tr '\n' '|')
check_equal "during JVM creation: taken during creation, served after it" \
    "forwarded request taken|JNI_CreateJavaVM returned 0|forwarded request: int|" "$order"
stop_first

# ---- independent first instances --------------------------------------------------------
for variant in "Single Instance=Yes" $'Application Type=service\nSingle Instance=yes' "Single Instance=yes"; do
    name=${variant//$'\n'/, }
    exe=$app/app.exe
    if [[ $variant == "Single Instance=yes" ]]; then
        name="a path differing in letter case"
        exe=$app/APP.EXE
    fi
    configure "class app/Main main=wait-stop,exit:0 secondaryMainInt=return-arg" "$variant"
    start_first
    (env "${jvm_env[@]}" CORVID_TRACE="$(win "$E2E_TMP/other.trace")" timeout -k 5 60 wine "$exe" 5 >/dev/null 2>&1 </dev/null) &
    other=$!
    for ((i = 0; i < 400; i++)); do
        [[ $(grep -c '^main thread=' "$log" 2>/dev/null) == 2 ]] && break
        sleep 0.05
    done
    check_equal "$name: the other start runs its own JVM" 2 "$(grep -c '^JNI_CreateJavaVM result 0' "$log")"
    stop_first
    status=0
    wait "$other" || status=$?
    check_equal "$name: the other start ends as a first instance" 0 "$status"
    rm -f "$E2E_TMP/other.trace"
done
