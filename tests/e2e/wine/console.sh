# corvidc.exe, the console variant, under Wine: every message the windowed
# launcher shows in a box is a line on standard error instead, no box is
# shown, the exit codes are the windowed one's, and the Java program writes
# to the console's streams (the test JVM library stands in for Java).
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

console=$CORVID_BUILD_DIR/src/corvidc.exe
test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
require_files "$console" "$test_jvm"

headers=$(x86_64-w64-mingw32-objdump -p "$console" 2>&1)
check_contains "a console program" "$headers" $'Subsystem\t\t00000003\t(Windows CUI)'
version=$(x86_64-w64-mingw32-strings -el "$console")
check_contains "version record: its own file name" "$version" $'OriginalFilename\ncorvidc.exe'

dir=$E2E_TMP/tool
mkdir -p "$dir/rt/bin/server" "$dir/rt/lib"
cp "$console" "$dir/tool.exe"
cp "$test_jvm" "$dir/rt/bin/server/jvm.dll"

# run_case NAME INI EXPECTED_STATUS EXPECTED_STDERR [ARGS...]
run_case() {
    local name=$1 ini=$2 status=$3 stderr=$4
    shift 4
    write_file "$dir/tool.ini" "$ini"
    wine_run WINEDEBUG=-all,+msgbox "$dir/tool.exe" "$@"
    check_equal "$name: exit code" "$status" "$RUN_STATUS"
    check_equal "$name: standard error" "$stderr" "$(grep -v ':trace:msgbox:' <<<"$RUN_STDERR")"
    check_not_contains "$name: no message box" "$RUN_STDERR" ":trace:msgbox:"
}

run_case "no main class" $'[Java Runtime Environment]\r\nMinimum Version=1.6\r\n' 255 \
    "tool: Main class was not specified in INI file."
run_case "no runtime" $'[Java Runtime Environment]\r\nMain Class=app.Main\r\nMinimum Version=99\r\nMaximum Version=any\r\n[Class Path]\r\nClass Path=app.jar\r\n' \
    255 "tool: The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (minimum version 99.0) from: https://adoptium.net/temurin/releases/"
runtime_ini=$'[Java Runtime Environment]\r\nMain Class=app.Main\r\nJRE Path='"$(win "$dir/rt")"$'\r\n[Class Path]\r\nClass Path=app.jar\r\n'
write_file "$dir/world.txt" "class app/Main main=print"
world=(CORVID_TEST_JVM_WORLD="$(win "$dir/world.txt")")
write_file "$dir/tool.ini" "$runtime_ini"
wine_run "${world[@]}" "$dir/tool.exe" one "two words"
check_equal "a program runs: exit code" 0 "$RUN_STATUS"
check_equal "a program runs: System.out is the console's" $'one\r\ntwo words\r\n' "$RUN_STDOUT"
check_equal "a program runs: System.err is the console's" $'arguments: 2\r\n' "$RUN_STDERR"
write_file "$dir/world.txt" "class app/Main main=exit:7"
wine_run "${world[@]}" "$dir/tool.exe"
check_equal "System.exit: its code" 7 "$RUN_STATUS"

# The taskbar identity is set before the JVM starts (the trace says whether
# the system took it).
write_file "$dir/world.txt" "class app/Main main=print"
write_file "$dir/tool.ini" "$runtime_ini"$'[Application]\r\nApp User Model ID=Example.Tool.2\r\n'
wine_run "${world[@]}" CORVID_TRACE="$(win "$dir/trace.txt")" "$dir/tool.exe"
check_equal "App User Model ID: exit code" 0 "$RUN_STATUS"
check_contains "App User Model ID: set" "$(cat "$dir/trace.txt" 2>/dev/null)" $' app user model id Example.Tool.2\n'
