# The Linux launcher against the test JVM library (tests/support/test_jvm) as
# lib/server/libjvm.so: the JNI results a real JVM gives only by accident:
# every JNI_CreateJavaVM failure code, a library without one of its two
# exports, and a Java thread that cannot detach.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm_dir=$CORVID_BUILD_DIR/tests/support/test_jvm
for variant in corvid_test_jvm corvid_test_jvm_no_create corvid_test_jvm_no_defaults; do
    if [[ ! -f $test_jvm_dir/$variant.so ]]; then
        fail "test JVM library" "missing $test_jvm_dir/$variant.so: build the tests"
        exit 1
    fi
done

app=$E2E_TMP/app
install_launcher "$app/app.bin"
log=$E2E_TMP/jvm.log
world=$E2E_TMP/world.txt

make_runtime() {
    mkdir -p "$1/lib/server"
    cp "$test_jvm_dir/$2.so" "$1/lib/server/libjvm.so"
}
make_runtime "$E2E_TMP/rt" corvid_test_jvm
make_runtime "$E2E_TMP/rt-no-create" corvid_test_jvm_no_create
make_runtime "$E2E_TMP/rt-no-defaults" corvid_test_jvm_no_defaults

# launch RUNTIME WORLD: runs the app once; LOG holds the library's log.
launch() {
    write_file "$app/app.ini" "$(printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$1" \
        "[Class Path]" "Class Path=app.jar")"
    write_file "$world" "$2"
    rm -f "$log"
    run_captured CORVID_TEST_JVM_WORLD="$world" CORVID_TEST_JVM_LOG="$log" LC_ALL=C.UTF-8 "$app/app.bin" arg
    LOG=""
    [[ -f $log ]] && LOG=$(cat "$log")
}

# The message box stand-in writes one line to standard error.
while IFS='|' read -r code reason; do
    launch "$E2E_TMP/rt" "$(printf '%s\n' "create $code" "class app/Main main=print")"
    check_equal "create returns $code: message" "app.bin: JNI exception: failed to create the Java VM Reason: $reason."$'\n' "$RUN_STDERR"
    check_equal "create returns $code: exit code" 255 "$RUN_STATUS"
    check_not_contains "create returns $code: main not called" "$LOG" "CallStaticVoidMethod"
    check_not_contains "create returns $code: no DestroyJavaVM without a VM" "$LOG" "DestroyJavaVM"
done <<'EOF'
-1|unknown
-2|thread detached from VM
-3|JNI version error
-4|not enough memory
-5|VM already created
-6|invalid arguments
-7|
EOF

for variant in no-create no-defaults; do
    launch "$E2E_TMP/rt-$variant" "class app/Main main=print"
    check_contains "$variant: message" "$RUN_STDERR" "app.bin: Windows exception: cannot find CreateJavaVM JNI (errno = "
    check_equal "$variant: exit code" 255 "$RUN_STATUS"
    check_equal "$variant: the library is never called" "" "$LOG"
done

launch "$E2E_TMP/rt" "$(printf '%s\n' "fail detach" "class app/Main main=print")"
check_equal "detach fails: main ran" "arg 0 arg" "$(grep '^arg ' <<<"$LOG")"
check_equal "detach fails: exit code" 255 "$RUN_STATUS"

launch "$E2E_TMP/rt" "class app/Main main=print"
check_equal "success: exit code" 0 "$RUN_STATUS"
check_equal "success: main's output" $'arg\n' "$RUN_STDOUT"
check_not_contains "success: JNI used by the rules" "$LOG" "misuse:"
