# corvid.exe under Wine hosting the test JVM library (tests/support/test_jvm)
# as bin\server\jvm.dll or bin\client\jvm.dll: what reaches JNI_CreateJavaVM,
# the Java thread, main and the standard streams, the failure messages, and
# the exit codes. The library's log and world formats are described in its
# README.md.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm_dir=$CORVID_BUILD_DIR/tests/support/test_jvm
for variant in corvid_test_jvm corvid_test_jvm_no_create corvid_test_jvm_no_defaults; do
    if [[ ! -f $test_jvm_dir/$variant.dll ]]; then
        fail "test JVM library" "missing $test_jvm_dir/$variant.dll: build the tests"
        exit 1
    fi
done

# The registry is changed below; keep it away from other suites.
wine_private_prefix

app=$E2E_TMP/app
install_launcher "$app/app.exe"
log=$E2E_TMP/jvm.log
world=$E2E_TMP/world.txt
# The launcher's own path, after the configured options; what it sets as
# java does, last; and the option that keeps the JVM quiet about the
# rebound input arguments, first.
executable="-Dcorvid.executable=$(win "$app")\\app.exe"
standard="-Dsun.java.launcher=SUN_STANDARD"
quiet="-Xlog:jni+resolve=off"

# make_runtime FOLDER server|client [VARIANT]: a runtime holding the library.
make_runtime() {
    mkdir -p "$1/bin/$2" "$1/lib"
    cp "$test_jvm_dir/${3:-corvid_test_jvm}.dll" "$1/bin/$2/jvm.dll"
}
server_rt=$E2E_TMP/rt-server
make_runtime "$server_rt" server
client_rt=$E2E_TMP/rt-client
make_runtime "$client_rt" client

# configure INI WORLD: the app's configuration and the library's world.
configure() {
    write_file "$app/app.ini" "$1"
    write_file "$world" "$2"
    rm -f "$log" "$E2E_TMP"/*.txt.out
}

jvm_env=(CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")" LC_ALL=C.UTF-8)
case_env=()  # more VAR=value for one case

# launch [ARGS...] / launch_msgbox [ARGS...]: run the app; LOG holds the log.
# The library notes every breach of JNI's rules and every call it does not
# serve; they are gathered over all runs and checked at the end.
breaches=$E2E_TMP/breaches
: >"$breaches"
read_log() {
    LOG=""
    [[ -f $log ]] && LOG=$(cat "$log")
    grep -E '^(misuse|fatal):' <<<"$LOG" | sed "s|^|$CASE: |" >>"$breaches"
}
launch() {
    wine_run "${jvm_env[@]}" "${case_env[@]}" "$app/app.exe" "$@"
    read_log
}
launch_msgbox() {
    wine_run_msgbox "${jvm_env[@]}" "${case_env[@]}" "$app/app.exe" "$@"
    read_log
}

# log_value PREFIX: the rest of the first log line that starts with PREFIX.
log_value() {
    PREFIX=$1 awk 'index($0, ENVIRON["PREFIX"]) == 1 { print substr($0, length(ENVIRON["PREFIX"]) + 1); exit }' <<<"$LOG"
}
log_options() { grep '^option ' <<<"$LOG" | sed 's/^option //'; }
thread_of() { log_value "$1" | sed -n 's/^thread=\([0-9]*\).*/\1/p'; }
file_text() { [[ -f $1 ]] && cat "$1"; }

runtime_ini() {
    printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$1" "$2" "[Class Path]" "Class Path=app.jar" "[Application]" "$3"
}

# ---- a program runs end to end -------------------------------------------------
CASE="options, environment, threads"
configure "$(printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$(win "$server_rt")" \
    'Virtual Machine Parameters=-Xmx50P  -Xms33P -Xmx100:0:1P -Xms1:4096P -Dq="a b" -Dhome=%TAV_JVM_HOME% -xmx50P -Xss2m ' \
    "Library Path=native;" "System Path=Z:\\tools" \
    "[Class Path]" "Class Path=app.jar;lib\\x.jar" \
    "[Application]" "Output File=$(win "$E2E_TMP/out.txt.out")" "Error File=$(win "$E2E_TMP/err.txt.out")")" \
    "class app/Main main=print"
launch one "" "two words"
check_equal "$CASE: exit code" 0 "$RUN_STATUS"
check_equal "$CASE: JNI 1.2, options not ignored" "version=0x00010002 nOptions=14 ignoreUnrecognized=0" \
    "$(log_value "JNI_CreateJavaVM " | sed 's/^thread=[0-9]* //')"
# The sizes are a share of the physical memory that GlobalMemoryStatus reports:
# a whole number of pages, about what Linux reports. 50% of M KiB is the first
# size; M is then 2 * that or one more, and 33% must match one of them.
half=$(log_options | sed -n 4p)
third=$(log_options | sed -n 5p)
half_kb=${half#-Xmx}
half_kb=${half_kb%K}
if [[ $half_kb =~ ^[0-9]+$ ]] && awk -v h="$half_kb" -v t="${third#-Xms}" '
    /^MemTotal:/ { total = $2 }
    END {
        ok = 0
        for (m = 2 * h; m <= 2 * h + 1; m++) if (sprintf("%dK", m * (33 / 100.0)) == t) ok = 1
        exit !(ok && 2 * h > total * 0.99 && 2 * h <= total) }' /proc/meminfo; then
    pass "$CASE: percentages of the physical memory"
else
    fail "$CASE: percentages of the physical memory" "$half $third against $(grep MemTotal /proc/meminfo)"
fi
inherited_path=$(log_value "env Path=Z:\\tools;")
inherited_path=${inherited_path%";$(win "$server_rt")\\bin"}
check_equal "$CASE: option list in order" \
    "$(printf '%s\n' "$quiet" "-Djava.library.path=native;$(win "$app")\\;.;$inherited_path;$(win "$server_rt")\\lib" \
        "-Djava.class.path=app.jar;lib\\x.jar" "$half" "$third" "-Xmx1024K" "-Xms4194304K" \
        "-Dq=a b" "-Dhome=$(win "$server_rt")" "-xmx50P" "-Xss2m" "$executable" "-Dsun.java.command=app.Main one  two words" \
        "$standard")" \
    "$(log_options)"
check_equal "$CASE: TAV_JVM_PATH" "$(win "$server_rt")\\bin\\server\\jvm.dll" "$(log_value "env TAV_JVM_PATH=")"
check_equal "$CASE: TAV_JVM_HOME" "$(win "$server_rt")" "$(log_value "env TAV_JVM_HOME=")"
check_contains "$CASE: Path = System Path, inherited Path, runtime bin" "$inherited_path" "C:\\windows"
check_equal "$CASE: -Xss2m gives the Java thread 2 MiB" 2097152 "$(log_value "stack ")"
check_not_contains "$CASE: no default stack asked when -Xss is set" "$LOG" "version=0x00010001"
check_contains "$CASE: the JVM asked whether it speaks JNI 9" "$LOG" "JNI_GetDefaultJavaVMInitArgs thread=$(thread_of "JNI_CreateJavaVM ") version=0x00090000"
create_thread=$(thread_of "JNI_CreateJavaVM ")
check_equal "$CASE: main runs on the thread that created the VM" "main thread=$create_thread args=3" "$(grep '^main thread' <<<"$LOG")"
destroy_thread=$(thread_of "DestroyJavaVM ")
if [[ -n $destroy_thread && $destroy_thread != "$create_thread" ]]; then
    pass "$CASE: DestroyJavaVM on the main thread"
else
    fail "$CASE: DestroyJavaVM on the main thread" "create $create_thread, destroy '$destroy_thread'"
fi
check_equal "$CASE: main class name" "FindClass app/Main" "$(grep -m1 '^FindClass app' <<<"$LOG")"
check_equal "$CASE: argument bytes" "$(printf '%s\n' "arg 0 one" "arg 1 " "arg 2 two words")" "$(grep '^arg ' <<<"$LOG")"
check_equal "$CASE: System.out to the output file" $'one\r\n\r\ntwo words\r\nx' "$(file_text "$E2E_TMP/out.txt.out"; printf x)"
check_equal "$CASE: System.err to the error file" "arguments: 3" "$(file_text "$E2E_TMP/err.txt.out" | tr -d '\r')"
check_contains "$CASE: utf chars released" "$LOG" "unreleased UTF chars: 0"

CASE="java option forms, class path wildcards"
mkdir -p "$app/lib/sub.jar"
touch "$app/lib/b.jar" "$app/lib/A.JAR" "$app/lib/notes.txt"
configure "$(printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$(win "$server_rt")" \
    'Virtual Machine Parameters=-p "my mods" --add-opens java.base/java.lang=ALL-UNNAMED --add-modules=m' \
    "[Class Path]" "Class Path=$(win "$app")\\lib\\*;app.jar")" "class app/Main main=return"
launch
check_equal "$CASE: joined in order, jars of the folder in name order" \
    "$(printf '%s\n' "$quiet" "-Djava.class.path=$(win "$app")\\lib\\A.JAR;$(win "$app")\\lib\\b.jar;app.jar" \
        "--module-path=my mods" "--add-opens=java.base/java.lang=ALL-UNNAMED" "--add-modules=m" \
        "$executable" "-Dsun.java.command=app.Main" "$standard")" "$(log_options)"
configure "$(runtime_ini "$(win "$server_rt")" "Virtual Machine Parameters=-Xmx1m --add-opens" "")" "class app/Main main=return"
launch_msgbox
check_equal "$CASE: an option without its value: message" \
    $'The option --add-opens in Virtual Machine Parameters needs a value.\n' "$MSGBOX_TEXT"
check_equal "$CASE: an option without its value: exit -1" 255 "$RUN_STATUS"
check_not_contains "$CASE: an option without its value: no JVM" "$LOG" "JNI_CreateJavaVM"

CASE="no class path, no library path"
configure "$(printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$(win "$server_rt")")" \
    "$(printf '%s\n' "class app/Main main=return" "stack 3145728")"
launch_msgbox
check_equal "$CASE: message 209" $'Java Class Path was not specified in INI file.' "$MSGBOX_TEXT"
check_equal "$CASE: exit code" 0 "$RUN_STATUS"
check_contains "$CASE: created with none of the configured options" "$(log_value "JNI_CreateJavaVM ")" "nOptions=1 "
check_equal "$CASE: ... the quiet option alone" "$quiet" "$(log_options)"
check_contains "$CASE: default stack asked with JNI 1.1" "$(log_value "JNI_GetDefaultJavaVMInitArgs ")" "version=0x00010001"
check_equal "$CASE: its javaStackSize sizes the Java thread" 3145728 "$(log_value "stack ")"

CASE="Java thread stack"
# The size is a commitment, not a reservation, as Windows takes a thread's
# stack size without STACK_SIZE_PARAM_IS_A_RESERVATION: below the
# executable's own 2 MiB reservation it leaves that, above it sets it.
while read -r option expected; do
    configure "$(runtime_ini "$(win "$server_rt")" "Virtual Machine Parameters=$option" "")" "class app/Main main=return"
    launch
    check_equal "$CASE: $option" "$expected" "$(log_value "stack ")"
done <<'EOF'
-Xss6m 6291456
-Xss1048576 2097152
EOF

CASE="ANSI arguments"
# Wine reads the arguments in the locale's charset; the German locale is
# compiled into the suite's own folder, so the machine needs no generated one.
mkdir -p "$E2E_TMP/locales"
if localedef -i de_DE -f UTF-8 "$E2E_TMP/locales/de_DE.UTF-8" >/dev/null 2>&1 ||
    [[ -d $E2E_TMP/locales/de_DE.UTF-8 ]]; then
    case_env=(LOCPATH="$E2E_TMP/locales" LC_ALL=de_DE.UTF-8)
else
    fail "$CASE: compile the de_DE.UTF-8 locale" "localedef (Debian package locales) failed"
fi
configure "$(runtime_ini "$(win "$server_rt")" "" "")" "class app/Main main=print"
launch "Grüße" "中"
case_env=()
check_equal "$CASE: exit code" 0 "$RUN_STATUS"
check_equal "$CASE: bytes in code page 1252, unmappable as ?" "$(printf '%s\n' 'arg 0 Gr\xfc\xdfe' 'arg 1 ?')" \
    "$(grep '^arg ' <<<"$LOG")"
check_equal "$CASE: printed back in the JVM's charset" $'Gr\xfc\xdfe\r\n?\r\n' "$RUN_STDOUT"

CASE="input arguments"
# What the program reads as the JVM's options is bound to the configured
# ones, decoded from the code page as the JVM decodes its own; the hooks and
# the quiet option still reach the JVM. A runtime without the management
# class, or one before 9, keeps the JVM's own list, and the start goes on.
input_arguments() { grep '^input argument ' <<<"$LOG" | sed 's/^input argument //'; }
ini=$(runtime_ini "$(win "$server_rt")" 'Virtual Machine Parameters=-Xmx64m --add-opens java.base/java.lang=ALL-UNNAMED -Dname=Grüße' "")
configure "$ini" $'management\nclass app/Main main=inputs'
case_env=(LOCPATH="$E2E_TMP/locales" LC_ALL=de_DE.UTF-8)
launch
case_env=()
check_equal "$CASE: exit code" 0 "$RUN_STATUS"
check_equal "$CASE: the hooks reach the JVM" $'hook vfprintf\nhook exit\nhook abort' "$(grep '^hook ' <<<"$LOG")"
check_equal "$CASE: the option reaches the JVM in code page 1252" 'option -Dname=Gr\xfc\xdfe' "$(grep '^option -Dname' <<<"$LOG")"
check_contains "$CASE: the class is loaded, not initialised, by the boot loader" "$LOG" \
    "Class.forName sun.management.VMManagementImpl initialize=false boot loader"
check_contains "$CASE: its list is bound" "$LOG" "RegisterNatives sun/management/VMManagementImpl getVmArguments0 ()[Ljava/lang/String;"
check_equal "$CASE: the configured options, as Unicode" \
    "$(printf '%s\n' "-Xmx64m" "--add-opens=java.base/java.lang=ALL-UNNAMED" '-Dname=Gr\xc3\xbc\xc3\x9fe' "$executable")" \
    "$(input_arguments)"
check_contains "$CASE: bound before main" "$(grep -E '^(RegisterNatives|main thread)' <<<"$LOG" | head -1)" "RegisterNatives"
configure "$ini" $'class app/Main main=inputs,print'
launch a
check_equal "$CASE: no management class: the program runs" "0 a" "$RUN_STATUS $(head -1 <<<"$RUN_STDOUT" | tr -d '\r')"
check_not_contains "$CASE: no management class: nothing bound" "$LOG" "RegisterNatives"
check_equal "$CASE: no management class: the JVM's own list, hooks included" \
    "$(printf '%s\n' vfprintf exit abort "$quiet")" "$(input_arguments | head -4)"
configure "$ini" $'jni 8\nmanagement\nclass app/Main main=inputs'
launch
check_equal "$CASE: a runtime before 9: runs" 0 "$RUN_STATUS"
check_not_contains "$CASE: a runtime before 9: no quiet option it would refuse" "$LOG" "option -Xlog"
check_not_contains "$CASE: a runtime before 9: nothing loaded or bound" "$LOG" "Class.forName"
check_equal "$CASE: a runtime before 9: the JVM's own list" "vfprintf" "$(input_arguments | head -1)"

# ---- finding the runtime -------------------------------------------------------
CASE="registered runtime"
rt_home=$(win "$client_rt")
write_file "$E2E_TMP/runtime.reg" "$(printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_LOCAL_MACHINE\Software\JavaSoft\Java Runtime Environment\1.8.0_99]' \
    "\"JavaHome\"=\"${rt_home//\\/\\\\}\"")"
wine regedit /s "$(win "$E2E_TMP/runtime.reg")" >/dev/null 2>&1
configure "$(printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "Maximum Version=any" \
    "[Class Path]" "Class Path=app.jar")" "class app/Main main=print"
launch reg
check_equal "$CASE: exit code" 0 "$RUN_STATUS"
check_equal "$CASE: client library of the registered runtime" "$rt_home\\bin\\client\\jvm.dll" "$(log_value "env TAV_JVM_PATH=")"
check_equal "$CASE: main ran" "arg 0 reg" "$(grep '^arg ' <<<"$LOG")"

# ---- how a program ends --------------------------------------------------------
CASE="exit codes"
while read -r steps failure_check expected; do
    configure "$(runtime_ini "$(win "$server_rt")" "" "Failure Check=$failure_check")" "class app/Main main=$steps"
    if [[ $failure_check == yes ]]; then
        # The exception dialog (exception_dialog.sh) answered with Stop.
        wine_start "${jvm_env[@]}" "$app/app.exe"
        ui_dialog click 2 wait-gone
        wine_wait
        read_log
    else
        launch
    fi
    check_equal "$CASE: main=$steps, Failure Check=$failure_check" "$expected" "$RUN_STATUS"
done <<'EOF'
return No 0
exit:0 No 0
exit:7 No 7
exit:-3 No 253
throw No 1
throw yes 255
EOF
check_contains "$CASE: Stop calls System.exit(-1)" "$LOG" "System.exit -1"
check_contains "$CASE: the trace is taken before stopping" "$LOG" "java/lang/Throwable printStackTrace"
check_contains "$CASE: the exception is printed" "$RUN_STDERR" \
    $'Exception in thread "main" java.lang.IllegalStateException: thrown by the test world\r\n\tat app.Main.main(Main.java:1)\r\n'

CASE="lingering thread"
configure "$(runtime_ini "$(win "$server_rt")" "" "")" "class app/Main main=linger:700,print"
launch
check_equal "$CASE: exit code" 0 "$RUN_STATUS"
check_equal "$CASE: DestroyJavaVM waits for it" \
    "$(printf '%s\n' "main returns" "DestroyJavaVM waits for 1 threads" "lingering thread ends" "DestroyJavaVM returns")" \
    "$(grep -E '^(main returns|DestroyJavaVM|lingering thread ends)' <<<"$LOG" | sed 's/ thread=[0-9]*//; s/;.*//')"

# ---- failures and their messages -------------------------------------------------
CASE="failure messages"
not_a_dll=$E2E_TMP/rt-broken
mkdir -p "$not_a_dll/bin/server"
echo "not a library" >"$not_a_dll/bin/server/jvm.dll"
broken_library="$(win "$not_a_dll")\\bin\\server\\jvm.dll"
no_create=$E2E_TMP/rt-no-create
make_runtime "$no_create" server corvid_test_jvm_no_create
no_defaults=$E2E_TMP/rt-no-defaults
make_runtime "$no_defaults" server corvid_test_jvm_no_defaults
# Rows: name | runtime variable | world lines, ";" separated | text, "%NL%" a
# line break | exit code.
while IFS='|' read -r name runtime world_lines expected_text expected_status; do
    configure "$(runtime_ini "$(win "${!runtime}")" "" "")" "${world_lines//;/$'\n'}"
    launch_msgbox
    expected_text=${expected_text//%PATH%/"$broken_library"}
    check_equal "$CASE: $name: text" "${expected_text//%NL%/$'\n'}" "$MSGBOX_TEXT"
    check_equal "$CASE: $name: exit code" "$expected_status" "$RUN_STATUS"
    if [[ $name == "main class not found" ]]; then
        check_contains "$CASE: $name: the class loading error is printed" "$RUN_STDERR" "NoClassDefFoundError: app/Main"
    fi
done <<'EOF'
library not loadable|not_a_dll|class app/Main main=print|Failed to load Java VM library: %PATH% (errno = 193).%NL%|255
no JNI_CreateJavaVM|no_create|class app/Main main=print|Windows exception: cannot find CreateJavaVM JNI (errno = 127).%NL%|255
no JNI_GetDefaultJavaVMInitArgs|no_defaults|class app/Main main=print|Windows exception: cannot find CreateJavaVM JNI (errno = 127).%NL%|255
create returns -4|server_rt|create -4;class app/Main main=print|JNI exception: failed to create the Java VM%NL%Reason: not enough memory.%NL%|255
create returns -7|server_rt|create -7;class app/Main main=print|JNI exception: failed to create the Java VM%NL%Reason: .%NL%|255
main class not a string|server_rt|missing java/lang/String;class app/Main main=print|Failed to load Main Class: app/Main.%NL%|255
main class not found|server_rt|class app/Other main=print|Could not find the main class app/Main.%NL%|255
no main method|server_rt|lookup-exceptions no;class app/Main|No main method found in specified class.%NL%|255
the JVM's reason|server_rt|create -1;say Unrecognized option: --frobnicate\n;class app/Main|JNI exception: failed to create the Java VM%NL%Reason: Unrecognized option: --frobnicate.%NL%|255
the JVM's words after a reason of the code|server_rt|create -4;say Could not reserve enough space\n;class app/Main|JNI exception: failed to create the Java VM%NL%Reason: not enough memory.%NL%Could not reserve enough space|255
the JVM silent|server_rt|create -1;class app/Main|JNI exception: failed to create the Java VM%NL%Reason: unknown.%NL%|255
EOF
configure "$(runtime_ini "$(win "$server_rt")" "" "")" $'create -1\nsay Unrecognized option: --frobnicate\\n\nclass app/Main'
case_env=(LC_ALL=de_DE.UTF-8)
launch_msgbox
case_env=()
check_equal "$CASE: the JVM's reason, German lead text" \
    $'JNI exception: konnte die Java VM nicht erzeugen\nReason: Unrecognized option: --frobnicate.\n' "$MSGBOX_TEXT"
check_contains "$CASE: the JVM's reason: said through the hook" "$LOG" "says Unrecognized option"
check_equal "$CASE: the JVM's reason: not printed besides" "" "$RUN_STDOUT"

CASE="Main Jar"
configure "$(printf '%s\n' "[Java Runtime Environment]" "Main Jar=%APP_JAR%" "JRE Path=$(win "$server_rt")" \
    "[Class Path]" "Class Path=other.jar")" "class app/Main main=print"
jar_dir=$(win "$E2E_TMP")
write_file "$E2E_TMP/app.jar" "PK"
case_env=(APP_JAR="$jar_dir\\app.jar")
launch_msgbox a b
case_env=()
check_equal "$CASE: the jar is the class path, named by the command property" \
    "$(printf '%s\n' "$quiet" "-Djava.class.path=$jar_dir\\app.jar" "$executable" "-Dsun.java.command=$jar_dir\\app.jar a b" "$standard")" \
    "$(log_options)"
check_contains "$CASE: the runtime's launcher helper is asked for" "$LOG" "FindClass sun/launcher/LauncherHelper"
check_equal "$CASE: no main class asked for; a runtime without the helper cannot read the jar" \
    "Failed to load Main Class: $jar_dir\\app.jar."$'\n' "$MSGBOX_TEXT"
check_equal "$CASE: exit code" 255 "$RUN_STATUS"
rm -f "$log"
case_env=(APP_JAR='C:\apps\missing.jar')
launch_msgbox
case_env=()
check_equal "$CASE: a jar that cannot be opened: java's words" 'Unable to access jarfile C:\apps\missing.jar' "$MSGBOX_TEXT"
check_equal "$CASE: a jar that cannot be opened: exit code" 255 "$RUN_STATUS"
check_not_contains "$CASE: a jar that cannot be opened: no JVM" "$LOG" "JNI_CreateJavaVM"

CASE="main method missing with NoSuchMethodError"
configure "$(runtime_ini "$(win "$server_rt")" "" "")" "class app/Main"
launch_msgbox
check_equal "$CASE: no message box" 0 "$MSGBOX_SHOWN"
check_contains "$CASE: the exception is printed" "$RUN_STDERR" "java.lang.NoSuchMethodError: main"
check_equal "$CASE: exit code" 255 "$RUN_STATUS"

CASE="the runtime's launcher helper"
# Its words go to a file only this start can open: no file is left behind,
# and links planted in the temporary folder under the names of a predictable
# scheme (for any process id Wine hands out here) reach nothing.
temp=$(winepath -u "$(timeout 60 wine cmd /c 'echo %TEMP%' </dev/null | tr -d '\r\n')" 2>/dev/null)
check "$CASE: the temporary folder is a folder" test -d "$temp"
accepted=$'launcher-helper\nclass app/Main main=print'
refused=$'launcher-helper\nclass app/Other main=print'
refusal=$'Failed to load Main Class: app.Main.\nError: Could not find or load main class app.Main'
configure "$(runtime_ini "$(win "$server_rt")" "" "")" "$refused"
launch_msgbox
check_contains "$CASE: a refused class: the helper's words in the message" "$MSGBOX_TEXT" "$refusal"
check_equal "$CASE: a refused class: exit code" 255 "$RUN_STATUS"
check_equal "$CASE: a refused class: no file left in the temporary folder" "" "$(ls -A "$temp" | grep -i corvid)"
victim=$E2E_TMP/victim.txt
write_file "$victim" "precious"
perl -e 'for (my $id = 4; $id <= 16384; $id += 4) { symlink($ARGV[1], "$ARGV[0]/corvid-main-check-$id.txt") }' \
    "$temp" "$victim"
configure "$(runtime_ini "$(win "$server_rt")" "" "")" "$accepted"
launch_msgbox a
check_equal "$CASE: links planted: a class it accepts runs" "0 a" "$RUN_STATUS $(head -1 <<<"$RUN_STDOUT" | tr -d '\r')"
check_contains "$CASE: its words go through a handle" "$LOG" "SetLongField FileDescriptor.handle"
configure "$(runtime_ini "$(win "$server_rt")" "" "")" "$refused"
launch_msgbox
check_contains "$CASE: links planted: a refused class: the helper's words in the message" "$MSGBOX_TEXT" "$refusal"
check_equal "$CASE: links planted: the linked file is untouched" "precious" "$(cat "$victim")"
find "$temp" -maxdepth 1 -type l -name 'corvid-main-check-*' -delete

CASE="output file in a missing folder"
configure "$(runtime_ini "$(win "$server_rt")" "" "$(printf '%s\n' "Output File=$(win "$E2E_TMP/none/out.txt")" \
    "Error File=$(win "$E2E_TMP/err.txt.out")")")" "class app/Main main=print"
launch hello
check_equal "$CASE: exit code" 0 "$RUN_STATUS"
check_contains "$CASE: the failure is printed to the JVM's first error stream" "$RUN_STDERR" "java.io.FileNotFoundException"
check_equal "$CASE: System.out keeps its target" $'hello\r\n' "$RUN_STDOUT"
check_equal "$CASE: the error file is still redirected" "arguments: 1" "$(file_text "$E2E_TMP/err.txt.out" | tr -d '\r')"

check_equal "JNI used by the rules, and only the calls the library serves" "" "$(cat "$breaches")"
