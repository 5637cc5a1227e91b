# Single-instance mode of the Linux launcher with the system's OpenJDK 17: a
# second start hands its arguments over the channel to the running instance,
# whose secondaryMain (tests/java: Forwarded, ForwardedInt, NoSecondary)
# records them in the file "record" of the probe folder.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

jdk=/usr/lib/jvm/java-17-openjdk-amd64
classes=$CORVID_BUILD_DIR/tests/java/classes
if [[ ! -f $jdk/lib/server/libjvm.so || ! -f $classes/corvid/probe/ForwardedInt.class ]]; then
    fail "prerequisites" "needs $jdk and the probe classes in $classes (built by the corvid_java_probes target)"
    exit 1
fi

app=$E2E_TMP/app/app
install_launcher "$app"
dir=$E2E_TMP/probe
FIRST_PID=""
# A first instance left running by a failed check is ended with the suite.
kill_at_exit FIRST_PID

# configure MAIN [APPLICATION_LINES] [VM_PARAMETERS] [LAUNCHER]
configure() {
    local launcher=${4:-$app}
    write_file "${launcher%/*}/app.ini" "[Java Runtime Environment]
Main Class=$1
JRE Path=$jdk
Virtual Machine Parameters=-Dcorvid.probe.dir=$dir ${3:-}
[Class Path]
Class Path=$classes
[Application]
${2:-Single Instance=yes}
"
}

# start_first [LAUNCHER] [ARGS...]: a first instance in the background, its
# output in first.out and first.err, its trace in first.trace. Waits until
# its main runs unless NO_WAIT is set.
start_first() {
    local launcher=${1:-$app}
    shift || true
    rm -rf "$dir" "$E2E_TMP/first.trace"
    mkdir -p "$dir"
    (CORVID_TRACE=$E2E_TMP/first.trace exec "$launcher" "$@" >"$E2E_TMP/first.out" 2>"$E2E_TMP/first.err" </dev/null) &
    FIRST_PID=$!
    [[ -n ${NO_WAIT:-} ]] && return 0
    wait_for_file "$dir/ready"
}

wait_for_file() {
    local i
    for ((i = 0; i < 400; i++)); do
        [[ -f $1 ]] && return 0
        sleep 0.05
    done
    echo "  (no $1 after 20 s)"
    return 1
}

# stop_first CODE: the first instance's main ends with System.exit(CODE).
stop_first() {
    echo "$1" >"$dir/stop"
    FIRST_STATUS=0
    wait "$FIRST_PID" || FIRST_STATUS=$?
    FIRST_PID=""
}

record() { cat "$dir/record" 2>/dev/null; }
count_lines() { grep -cxF -- "$2" <<<"$1" || true; }

# ---- the void form ---------------------------------------------------------------
configure corvid.probe.Forwarded
start_first "" first-arg
run_captured CORVID_TRACE="$E2E_TMP/second.trace" "$app" a "" b
check_equal "void form: the second start ends with 0" 0 "$RUN_STATUS"
second_trace=$(cat "$E2E_TMP/second.trace")
check_contains "void form: the second start handed over" "$second_trace" "second instance: arguments handed over"
check_not_contains "void form: the second start loads no JVM" "$second_trace" "JNI_CreateJavaVM"
run_captured "$app"
run_captured "$app" "gr$(printf '\xc3\xbc')ße"
check_equal "void form: an empty argument ends the list; none reads as one empty text; non-ASCII kept" \
    "main 1 [first-arg]
void 1 [a]
void 1 []
void 1 [grüße]" "$(record)"

started=$EPOCHREALTIME
run_captured "$app" sleep
elapsed_ms=$(((${EPOCHREALTIME/./} - ${started/./}) / 1000))
check_equal "void form: 0 while secondaryMain still runs" 0 "$RUN_STATUS"
if ((elapsed_ms < 1500)); then pass "void form: released before secondaryMain ends (${elapsed_ms} ms)"; else fail "void form: released before secondaryMain ends" "took ${elapsed_ms} ms"; fi
check_not_contains "void form: secondaryMain had not ended yet" "$(record)" "slept"
run_captured "$app" throw
check_equal "void form: 0 although secondaryMain throws" 0 "$RUN_STATUS"
for ((i = 0; i < 100; i++)); do
    [[ $(record) == *"slept 0"* ]] && break
    sleep 0.05
done
check_contains "void form: the sleeping call goes on to its end" "$(record)" "slept 0"
stop_first 4
check_equal "void form: the first instance ends with its own code" 4 "$FIRST_STATUS"
check_contains "void form: the throw is described by the first instance" "$(cat "$E2E_TMP/first.err")" \
    "java.lang.IllegalStateException: secondary failure"

# ---- the int form -----------------------------------------------------------------
configure corvid.probe.ForwardedInt
start_first
for value in 42 -3 0; do
    run_captured "$app" "$value"
    check_equal "int form: $value is the exit code" $(((value + 256) % 256)) "$RUN_STATUS"
done
long=$(printf 'x%.0s' {1..1039})
run_captured CORVID_TRACE="$E2E_TMP/long.trace" "$app" 11 "$long"
check_equal "int form: 1041 bytes of arguments end with -1" 255 "$RUN_STATUS"
check_contains "int form: too long is traced" "$(cat "$E2E_TMP/long.trace")" "more than 1040 bytes"
fits=$(printf 'y%.0s' {1..1035})
run_captured "$app" 12 "$fits"
check_equal "int form: exactly 1040 bytes are delivered" 12 "$RUN_STATUS"
check_equal "int form: what the first instance saw" "main 0
int 1 [42]
int 1 [-3]
int 1 [0]
int 2 [12] [$fits]" "$(record)"

start_second() { "$app" "$@"; }
source "$(dirname "${BASH_SOURCE[0]}")/../cases/single_instance.sh"
rec=$(record)
recorded_line() { printf 'int 2 [%s] [tag%s]' $((100 + $1)) "$1"; }
check_delivered_once "$rec" recorded_line
check_equal "20 at once: nothing else delivered" 25 "$(wc -l <<<"$rec")"
stop_first 3
check_equal "int form: the first instance ends with its own code" 3 "$FIRST_STATUS"

# ---- main has returned; the launcher waits in DestroyJavaVM for the program -------
configure corvid.probe.ForwardedInt "" "-Dcorvid.probe.background=true"
start_first
for ((i = 0; i < 100; i++)); do
    grep -q "DestroyJavaVM: waiting" "$E2E_TMP/first.trace" 2>/dev/null && break
    sleep 0.05
done
check_contains "in DestroyJavaVM: main has returned" "$(cat "$E2E_TMP/first.trace")" "DestroyJavaVM: waiting"
run_captured "$app" 61
check_equal "in DestroyJavaVM: the program is still served" 61 "$RUN_STATUS"
stop_first return
check_equal "in DestroyJavaVM: the first instance ends with 0" 0 "$FIRST_STATUS"
check_equal "in DestroyJavaVM: delivered once" 1 "$(count_lines "$(record)" "int 1 [61]")"

# ---- no secondaryMain: the second start is answered -1 at once ------------------
configure corvid.probe.NoSecondary
start_first
started=$(date +%s%N)
run_captured "$app" orphan
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
check_equal "no secondaryMain: the second start ends with -1" 255 "$RUN_STATUS"
check "no secondaryMain: within a second (${elapsed_ms} ms)" test "$elapsed_ms" -lt 1000
check "no secondaryMain: the first instance runs on" kill -0 "$FIRST_PID"
stop_first 9
check_equal "no secondaryMain: the first instance keeps its own exit code" 9 "$FIRST_STATUS"
check_not_contains "no secondaryMain: nothing printed" "$(cat "$E2E_TMP/first.err")" "NoSuchMethodError"
check_contains "no secondaryMain: the trace says why" "$(cat "$E2E_TMP/first.trace")" \
    "forwarded request answered -1: the main class has no secondaryMain"

# ---- documents opened while first instances end ---------------------------------
# Forty starts over about two seconds; the first instance ends after the
# fifth, and every start that becomes a first instance ends at once too (the
# stop file stays), so several instances end while requests come in: by main
# returning (DestroyJavaVM) or by System.exit(7).
race_start() {
    "$app" $((100 + $1)) "doc$1" >/dev/null 2>&1 </dev/null
    echo $? >"$E2E_TMP/race/$1"
}
handled_count() { grep -cE "^(int|main) 2 \[$((100 + $1))\] \[doc$1\]\$" "$dir/record" || true; }
end_by_return() { echo return >"$dir/stop"; }
end_by_exit() { echo 7 >"$dir/stop"; }
source "$(dirname "${BASH_SOURCE[0]}")/../cases/single_instance_race.sh"
configure corvid.probe.ForwardedInt "" "-Dcorvid.probe.background=true"
start_first
run_race "race, instances ending by returning" 40 0.04 end_by_return
stop_first 0
start_first
run_race "race, instances ending by System.exit" 40 0.04 end_by_exit 7
stop_first 0

# ---- switches that leave the mode off -------------------------------------------
for variant in "Single Instance=Yes" $'Application Type=service\nSingle Instance=yes'; do
    name=${variant//$'\n'/, }
    configure corvid.probe.ForwardedInt "$variant"
    start_first
    (CORVID_TRACE=$E2E_TMP/off.trace exec "$app" second-own >/dev/null 2>&1 </dev/null) &
    second=$!
    for ((i = 0; i < 400; i++)); do
        [[ $(count_lines "$(record)" "main 1 [second-own]") == 1 ]] && break
        sleep 0.05
    done
    check_contains "$name: the second start runs its own main" "$(record)" "main 1 [second-own]"
    stop_first 0
    wait "$second" || true
    check_contains "$name: traced as off" "$(cat "$E2E_TMP/off.trace")" "single instance off"
done

# ---- a second start while the first instance's JVM is being created ------------
jar=$E2E_TMP/slow.jar
printf 'Premain-Class: corvid.probe.SlowStart\n' >"$E2E_TMP/manifest"
"$jdk/bin/jar" cfm "$jar" "$E2E_TMP/manifest" -C "$classes" corvid/probe/SlowStart.class
configure corvid.probe.ForwardedInt "" "-javaagent:$jar=1500"
NO_WAIT=1 start_first
wait_for_file "$dir/creating"
run_captured "$app" 77
check_equal "during JVM creation: served once the JVM is up" 77 "$RUN_STATUS"
trace=$(cat "$E2E_TMP/first.trace")
order=$(grep -oE 'forwarded request taken|JNI_CreateJavaVM returned 0|forwarded request: int' <<<"$trace" | tr '\n' '|')
check_equal "during JVM creation: taken during creation, served after it" \
    "forwarded request taken|JNI_CreateJavaVM returned 0|forwarded request: int|" "$order"
stop_first 0
check_equal "during JVM creation: delivered once" 1 "$(count_lines "$(record)" "int 1 [77]")"

# ---- a first instance killed with SIGKILL -------------------------------------------
# The second start waits for a JVM that is still being created.
configure corvid.probe.ForwardedInt "" "-javaagent:$jar=3000"
NO_WAIT=1 start_first
wait_for_file "$dir/creating"
("$app" waits >/dev/null 2>&1 </dev/null) &
second=$!
sleep 0.3
kill -9 "$FIRST_PID"
wait "$FIRST_PID" 2>/dev/null || true
FIRST_PID=""
status=0
wait "$second" || status=$?
check_equal "killed first instance: the waiting start ends with -1" 255 "$status"
configure corvid.probe.ForwardedInt
start_first
check_contains "killed first instance: the next start is a first instance" "$(cat "$E2E_TMP/first.trace")" "first instance"
run_captured "$app" 21
check_equal "killed first instance: the new one serves" 21 "$RUN_STATUS"
stop_first 0

# ---- a path longer than a socket name may be -------------------------------------
deep=$E2E_TMP/$(printf 'folder-%.0s' {1..20})/app
install_launcher "$deep"
configure corvid.probe.ForwardedInt "" "" "$deep"
start_first "$deep"
run_captured "$deep" 33
check_equal "long path: served" 33 "$RUN_STATUS"
stop_first 0
