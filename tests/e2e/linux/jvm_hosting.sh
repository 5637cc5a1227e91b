# Real Java programs run through the Linux launcher on the system's OpenJDK 17:
# arguments, exit codes, failures and their messages, stream redirection, the
# JVM's options and environment, and the Java thread's stack.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

jdk=/usr/lib/jvm/java-17-openjdk-amd64
classes=$CORVID_BUILD_DIR/tests/java/classes
if [[ ! -f $jdk/lib/server/libjvm.so || ! -f $classes/corvid/probe/PrintArgs.class ]]; then
    fail "prerequisites" "needs $jdk and the probe classes in $classes (built by the corvid_java_probes target)"
    exit 1
fi

app=$E2E_TMP/app.bin
install_launcher "$app"

# configure MAIN [VM_PARAMETERS] [EXTRA_INI_LINES]: an app.ini that runs MAIN
# from the probe classes on the JDK named by "JRE Path".
configure() {
    write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=$1
JRE Path=$jdk
Virtual Machine Parameters=${2:-}
[Class Path]
Class Path=$classes
${3:-}
"
}

# ---- arguments --------------------------------------------------------------
configure corvid.probe.PrintArgs
run_captured LC_ALL=C.UTF-8 "$app"
check_equal "no arguments: exit 0" 0 "$RUN_STATUS"
check_equal "no arguments: an empty array" $'count 0\n' "$RUN_STDOUT"
check_equal "no arguments: nothing on stderr" "" "$RUN_STDERR"

run_captured LC_ALL=C.UTF-8 "$app" one "two words" "" -nosplash ""
check_equal "several: in order, empty ones and switches kept" \
    $'count 5\n[one]\n[two words]\n[]\n[-nosplash]\n[]\n' "$RUN_STDOUT"

run_captured LC_ALL=C.UTF-8 "$app" "grüße" "日本語" "𝄞"
check_equal "non-ASCII arguments arrive unchanged" $'count 3\n[grüße]\n[日本語]\n[𝄞]\n' "$RUN_STDOUT"

# ---- the least configuration: a main class and a class path ---------------------
# No version bounds: any installed runtime will do (default-java, several JDKs).
write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.PrintArgs
[Class Path]
Class Path=$classes
"
run_captured LC_ALL=C.UTF-8 CORVID_TRACE="$E2E_TMP/bounds.trace" "$app" x
check_equal "no version bounds: runs on an installed runtime" $'count 1\n[x]\n' "$RUN_STDOUT"
check_contains "no version bounds: searched without an upper bound" "$(cat "$E2E_TMP/bounds.trace")" \
    "between 0.0.0.0 and 65535.65535.65535.65535"

# ---- main's end ---------------------------------------------------------------
configure corvid.probe.Throws
run_captured LC_ALL=C.UTF-8 "$app"
check_equal "main throws: exit 1 without the failure check, as java" 1 "$RUN_STATUS"
check_equal "main throws: its output" $'before the throw\n' "$RUN_STDOUT"
check_contains "main throws: exception printed" "$RUN_STDERR" \
    'Exception in thread "main" java.lang.IllegalStateException: probe failure é'
check_contains "main throws: with its stack trace" "$RUN_STDERR" "at corvid.probe.Throws.fail(Throws.java"

configure corvid.probe.Throws "" $'[Application]\nFailure Check=yes'
run_captured LC_ALL=C.UTF-8 CORVID_TRACE="$E2E_TMP/throws.trace" "$app"
check_equal "failure check: stops with -1" 255 "$RUN_STATUS"
check_contains "failure check: exception printed" "$RUN_STDERR" "java.lang.IllegalStateException: probe failure é"
trace=$(cat "$E2E_TMP/throws.trace")
check_contains "failure check: stack trace text read through JNI" "$trace" \
    $'uncaught exception:\njava.lang.IllegalStateException: probe failure é\n\tat corvid.probe.Throws.fail(Throws.java'

configure corvid.probe.Lingering
run_captured "$app" "$E2E_TMP/lingering.done"
check_equal "lingering thread: exit 0" 0 "$RUN_STATUS"
check_equal "lingering thread: the launcher waited for it" $'main returned\nworker done\n' "$RUN_STDOUT"
check "lingering thread: its file exists" test -f "$E2E_TMP/lingering.done"

configure corvid.probe.Exit
for code in 0 7 -3; do
    run_captured "$app" "$code"
    check_equal "System.exit($code) ends the process with it" $(((code + 256) % 256)) "$RUN_STATUS"
    check_equal "System.exit($code): output" "exiting with $code"$'\n' "$RUN_STDOUT"
done

# ---- failures before main ----------------------------------------------------------
configure corvid.probe.NoMain
run_captured LC_ALL=C "$app"
check_equal "no main method: exit -1" 255 "$RUN_STATUS"
check_contains "no main method: message 211 with the runtime's reason" "$RUN_STDERR" \
    'app.bin: Failed to load Main Class: corvid.probe.NoMain. Error: Main method not found in class corvid.probe.NoMain'
check_not_contains "no main method: no box with a pending exception" "$RUN_STDERR" "No main method found"

configure corvid.probe.Missing
run_captured LC_ALL=C "$app"
check_equal "missing class: exit -1, and no hang" 255 "$RUN_STATUS"
check_equal "missing class: message 211 with the runtime's reason, once" \
    $'app.bin: Failed to load Main Class: corvid.probe.Missing. Error: Could not find or load main class corvid.probe.Missing Caused by: java.lang.ClassNotFoundException: corvid.probe.Missing\n' \
    "$RUN_STDERR"

configure corvid.probe.PrintArgs "-Xmx64m -Xbogus"
run_captured LC_ALL=C "$app"
check_equal "unknown -X option: exit -1" 255 "$RUN_STATUS"
check_equal "unknown -X option: message 203 with the JVM's words as its reason, once" \
    $'app.bin: JNI exception: failed to create the Java VM Reason: Unrecognized option: -Xbogus.\n' "$RUN_STDERR"
run_captured LC_ALL=de_DE.UTF-8 "$app"
check_equal "unknown -X option: German frame" \
    $'app.bin: JNI exception: konnte die Java VM nicht erzeugen Reason: Unrecognized option: -Xbogus.\n' "$RUN_STDERR"

write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.PrintArgs
JRE Path=$jdk
"
run_captured LC_ALL=C "$app" x
check_equal "no class path: message 209, then the JVM starts without it" \
    $'app.bin: Java Class Path was not specified in INI file.\n' "${RUN_STDERR%%$'\n'*}"$'\n'
check_contains "no class path: then the class is not found" "$RUN_STDERR" \
    "Failed to load Main Class: corvid.probe.PrintArgs. Error: Could not find or load main class corvid.probe.PrintArgs"
check_equal "no class path: exit -1" 255 "$RUN_STATUS"

fake_runtime=$E2E_TMP/broken-runtime
mkdir -p "$fake_runtime/lib/server"
printf 'not a library' >"$fake_runtime/lib/server/libjvm.so"
write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.PrintArgs
JRE Path=$fake_runtime
[Class Path]
Class Path=$classes
"
run_captured LC_ALL=C "$app"
check_equal "unloadable JVM library: exit -1" 255 "$RUN_STATUS"
check_contains "unloadable JVM library: message 222 with the path" "$RUN_STDERR" \
    "app.bin: Failed to load Java VM library: $fake_runtime/lib/server/libjvm.so (errno = "

# ---- stream redirection --------------------------------------------------------------
out=$E2E_TMP/logs/out.txt
err=$E2E_TMP/logs/err.txt
mkdir -p "$E2E_TMP/logs"
redirect() {
    rm -f "$out" "$err"
    configure corvid.probe.Streams "" "[Application]
Output File=$1
Error File=$2"
    run_captured "$app"
}
read_file() { if [[ -f $1 ]]; then cat "$1"; else echo "(missing)"; fi; }

redirect "$out" "$err"
check_equal "both files: exit 0" 0 "$RUN_STATUS"
check_equal "both files: stdout went to the file" "to out" "$(read_file "$out")"
check_equal "both files: stderr went to the file" "to err" "$(read_file "$err")"
check_equal "both files: nothing left on the console" "" "$RUN_STDOUT$RUN_STDERR"

redirect "" "$err"
check_equal "error file only: stdout keeps its target" $'to out\n' "$RUN_STDOUT"
check_equal "error file only: stderr in the file" "to err" "$(read_file "$err")"
check "error file only: no output file" test ! -e "$out"

redirect "$out" "$out"
check_equal "same file twice: exit 0" 0 "$RUN_STATUS"
check_contains "same file twice: the file was written" "$(read_file "$out")" "to "

redirect "$E2E_TMP/no such folder/out.txt" "$err"
check_equal "missing folder: exit 0" 0 "$RUN_STATUS"
check_contains "missing folder: the failure is printed on the console" "$RUN_STDERR" "java.io.FileNotFoundException"
check_equal "missing folder: stdout keeps its target" $'to out\n' "$RUN_STDOUT"
check_equal "missing folder: the error file still redirected" "to err" "$(read_file "$err")"

# %NAME% references in the file names are expanded.
rm -f "$out"
configure corvid.probe.Streams "" $'[Application]\nOutput File=%LOGDIR%/out.txt'
run_captured LOGDIR="$E2E_TMP/logs" "$app"
check_equal "expanded output file name" "to out" "$(read_file "$out")"

# ---- options and environment -----------------------------------------------------------
mkdir -p "$E2E_TMP/native"
write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.Settings
JRE Path=$jdk
Virtual Machine Parameters=-Dapp.name=\"My App\" -Dapp.home=%APP_HOME% -Dplain=1
Library Path=$E2E_TMP/native
System Path=/opt/tools
[Class Path]
Class Path=$classes
"
run_captured APP_HOME="/srv/app with space" PATH=/usr/bin:/bin "$app" prop:app.name prop:app.home prop:plain \
    prop:java.library.path env:TAV_JVM_PATH env:TAV_JVM_HOME env:PATH prop:java.class.path
check_equal "properties, library path and variables" "app.name=My App
app.home=/srv/app with space
plain=1
java.library.path=$E2E_TMP/native:$E2E_TMP/:.:/usr/bin:/bin:$jdk/lib
TAV_JVM_PATH=$jdk/lib/server/libjvm.so
TAV_JVM_HOME=$jdk
PATH=/opt/tools:/usr/bin:/bin:$jdk/bin
java.class.path=$classes
" "$RUN_STDOUT"

# ---- the options a user keeps ----------------------------------------------------------
# XDG_CONFIG_HOME/<product name>/<code>/app.vmoptions, after the configured options.
user_options_ini() {
    write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.Settings
JRE Path=$jdk
Virtual Machine Parameters=-Dheap=app -Dkept=app
User Options=$1
[Product Information]
Product Name=Tool
Product Code=1
[Class Path]
Class Path=$classes
"
}
user_options_ini yes
write_file "$E2E_TMP/config/Tool/1/app.vmoptions" $'# mine\n\n  -Dheap=user \n-Dwords=two  words "quoted"\n-Dfrom=%USER_DIR%\n'
run_captured XDG_CONFIG_HOME="$E2E_TMP/config" USER_DIR=/home/u "$app" prop:heap prop:kept prop:words prop:from
check_equal "user options: the user's wins, lines taken whole" $'heap=user\nkept=app\nwords=two  words "quoted"\nfrom=/home/u\n' \
    "$RUN_STDOUT"
user_options_ini no
run_captured XDG_CONFIG_HOME="$E2E_TMP/config" "$app" prop:heap prop:corvid.executable
check_equal "user options: off, nothing read; the launcher's path as a property" $'heap=app\ncorvid.executable='"$app"$'\n' \
    "$RUN_STDOUT"

# ---- the Java thread's stack -------------------------------------------------------------
# Interpreted only, so a frame has one size and the depth measures the stack.
depth_with() {
    configure corvid.probe.StackDepth "-Xint $1"
    run_captured CORVID_TRACE="$E2E_TMP/stack.trace" "$app"
    local depth=${RUN_STDOUT#depth }
    echo "${depth%$'\n'}"
}
rm -f "$E2E_TMP/stack.trace"
one=$(depth_with -Xss1m)
two=$(depth_with -Xss2m)
check_contains "-Xss2m: the Java thread is made with 2 MiB" "$(cat "$E2E_TMP/stack.trace")" "Java thread stack size 2097152"
if [[ $one =~ ^[0-9]+$ && $two =~ ^[0-9]+$ ]] && ((two * 10 >= one * 18 && two * 10 <= one * 23)); then
    pass "-Xss2m: twice the depth of -Xss1m ($two against $one)"
else
    fail "-Xss2m: twice the depth of -Xss1m" "1m: $one, 2m: $two"
fi

# ---- runtime selection ---------------------------------------------------------------------
write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.PrintArgs
Minimum Version=17
Maximum Version=17.99
[Class Path]
Class Path=$classes
"
run_captured CORVID_TRACE="$E2E_TMP/registered.trace" "$app" registered
check_equal "registered runtime: runs" $'count 1\n[registered]\n' "$RUN_STDOUT"
check "registered runtime: OpenJDK 17 of /usr/lib/jvm was loaded" \
    grep -Eq "loaded /usr/lib/jvm/java-(1\.)?17[^/]*/lib/server/libjvm\.so$" "$E2E_TMP/registered.trace"

# ---- java's option forms and class path wildcards, as java starts them --------------
mkdir -p "$E2E_TMP/lib" "$E2E_TMP/mods dir"
cp "$CORVID_BUILD_DIR/tests/java/probes.jar" "$E2E_TMP/lib/probes.jar"
for runtime in "$jdk" /usr/lib/jvm/temurin-25-jdk-amd64; do
    [[ -f $runtime/lib/server/libjvm.so ]] || continue
    write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.Opens
JRE Path=$runtime
Virtual Machine Parameters=--add-opens java.base/java.lang=ALL-UNNAMED -p \"$E2E_TMP/mods dir\"
[Class Path]
Class Path=$E2E_TMP/lib/*
"
    run_captured "$app"
    expected=$("$runtime/bin/java" --add-opens java.base/java.lang=ALL-UNNAMED -p "$E2E_TMP/mods dir" \
        -cp "$E2E_TMP/lib/*" corvid.probe.Opens 2>&1; echo "status $?")
    check_equal "$(basename "$runtime"): two-token options and lib/* as java takes them" \
        "$expected" "$RUN_STDOUT$RUN_STDERR""status $RUN_STATUS"
    check_contains "$(basename "$runtime"): java.lang opened" "$RUN_STDOUT" "java.lang open: true"
done

# ---- restarts ---------------------------------------------------------------------------
# run_restarts MODE N: starts the chain and waits until the log has N lines and
# the trace says the last start ended (or 60 s passed).
run_restarts() {
    rm -f "$E2E_TMP/restart.log" "$E2E_TMP/restart.log.path" "$E2E_TMP/restart.trace"
    run_captured CORVID_TRACE="$E2E_TMP/restart.trace" "$app" "$E2E_TMP/restart.log" "$1" "two words" x
    for _ in $(seq 600); do
        [[ $(grep -c '^run ' "$E2E_TMP/restart.log" 2>/dev/null) -ge $2 && \
            $(grep -cE '^ *[0-9.]+ exit code ' "$E2E_TMP/restart.trace" 2>/dev/null) -ge $2 ]] && break
        sleep 0.1
    done
    sleep 0.5
}
configure corvid.probe.Restart "" $'[Application]\nRestart Exit Code=9'
run_restarts once 2
check_equal "restart: the first start ends with the code" 9 "$RUN_STATUS"
check_equal "restart: started again once with the same arguments, the handover unseen" \
    "$(printf 'run two words|x handover=null executable=%s\n' "$app" "$app")" "$(cat "$E2E_TMP/restart.log")"
check_contains "restart: traced" "$(cat "$E2E_TMP/restart.trace")" "restart: exit code 9, started again"
# With a "System Path", which each start puts before the PATH it got.
write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.Restart
JRE Path=$jdk
System Path=/opt/corvid-tools
[Class Path]
Class Path=$classes
[Application]
Restart Exit Code=9
"
PATH=/usr/local/bin:/usr/bin:/bin run_restarts always 4
check_equal "restart: a program that always ends at once runs at most 1 + 3 times" 4 \
    "$(grep -c '^run ' "$E2E_TMP/restart.log")"
check_contains "restart: the guard is traced" "$(cat "$E2E_TMP/restart.trace")" \
    "restart: not again, the program ended at once after 3 restarts in a row"
path="/opt/corvid-tools:/usr/local/bin:/usr/bin:/bin:$jdk/bin"
check_equal "restart: after three restarts PATH is what it was at the first start" \
    "$(printf '%s\n' "$path" "$path" "$path" "$path")" "$(cat "$E2E_TMP/restart.log.path")"

# A server asks for a restart while it listens: the new start gets none of
# the old one's sockets, so it can listen on the same port.
configure corvid.probe.Listen "" $'[Application]\nRestart Exit Code=9'
rm -f "$E2E_TMP/listen.log"
run_captured CORVID_TRACE="$E2E_TMP/listen.trace" "$app" "$E2E_TMP/listen.log"
for _ in $(seq 300); do
    [[ $(wc -l <"$E2E_TMP/listen.log" 2>/dev/null) -ge 2 ]] && break
    sleep 0.1
done
check_equal "restart: the first start listens and asks for the restart" 9 "$RUN_STATUS"
port=$(head -1 "$E2E_TMP/listen.log" | cut -d' ' -f2)
check_equal "restart: the new start listens on the same port" "$(printf 'listening %s\nagain %s' "$port" "$port")" \
    "$(cat "$E2E_TMP/listen.log")"
