# Which registered runtime corvid.exe chooses under Wine, read from its trace.
# A .reg file loaded with regedit registers runtimes under all four roots,
# pointing at folders with empty bin\client\jvm.dll and bin\server\jvm.dll
# files; loading such a library fails afterwards (its message box is
# answered), so only the trace's account of the choice is checked.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

# The registry is changed below; keep it away from other suites.
wine_private_prefix
# JAVA_HOME is searched when nothing registered qualifies; keep the host's out.
unset JAVA_HOME

app=$E2E_TMP/app
install_launcher "$app/app.exe"
R=$E2E_TMP/rt
WR=$(to_windows_path "$R")
trace=$E2E_TMP/trace.txt

for folder in jdk16/jre jre17 jrjre jrjdk/jre; do
    write_file "$R/$folder/bin/client/jvm.dll" ""
    write_file "$R/$folder/bin/server/jvm.dll" ""
done
write_file "$R/jre15/bin/client/jvm.dll" ""
write_file "$R/jre18/bin/java.dll" ""

reg_root='HKEY_LOCAL_MACHINE\SOFTWARE'
home() { printf '"JavaHome"="%s"' "${WR//\\/\\\\}\\\\$1"; }
write_file "$E2E_TMP/runtimes.reg" "Windows Registry Editor Version 5.00

[$reg_root\\JavaSoft\\Java Development Kit]
\"CurrentVersion\"=\"1.6\"

[$reg_root\\JavaSoft\\Java Development Kit\\1.6.0_10]
$(home jdk16)

[$reg_root\\JavaSoft\\Java Runtime Environment\\1.5]
$(home jre15)

[$reg_root\\JavaSoft\\Java Runtime Environment\\1.7]
$(home 'jre17\\')

[$reg_root\\JavaSoft\\Java Runtime Environment\\1.8]
$(home jre18)

[$reg_root\\JavaSoft\\Java Runtime Environment\\1.9]
\"RuntimeLib\"=\"nothing\"

[$reg_root\\JRockit\\Java Runtime Environment\\1.6]
$(home jrjre)

[$reg_root\\JRockit\\Java Development Kit\\1.6.0_5]
$(home jrjdk)
"
check "regedit loads the runtimes" wine regedit /s "$(to_windows_path "$E2E_TMP/runtimes.reg")"

# start "INI LINES": runs the launcher and leaves its trace in TRACE.
start() {
    write_file "$app/app.ini" "[Java Runtime Environment]"$'\r\n'"Main Class=Main"$'\r\n'"$1"$'\r\n'
    rm -f "$trace"
    wine_run_msgbox CORVID_TRACE="$(to_windows_path "$trace")" "$app/app.exe"
    TRACE=$(cat "$trace" 2>/dev/null)
}

lib() { printf 'JVM library %s\\%s\\jvm.dll' "$WR" "$1"; }
# name | configuration (\n between lines) | the library chosen
while IFS='|' read -r name ini chosen; do
    start "$(printf '%b' "$ini" | sed 's/$/\r/')"
    check_contains "$name" "$TRACE" "$chosen"
    check_equal "$name: status -1 (empty library)" 255 "$RUN_STATUS"
done <<TABLE
newest JavaSoft|Minimum Version=1.5\nMaximum Version=any|$(lib 'jre17\bin\client')
server only|Minimum Version=1.5\nMaximum Version=any\nJVM Type=server|$(lib 'jre17\bin\server')
favor_server ranks the kit first|Minimum Version=1.5\nMaximum Version=any\nJVM Type=favor_server|$(lib 'jdk16\jre\bin\server')
favor_server loads a runtime's server library|Minimum Version=1.7\nMaximum Version=any\nJVM Type=favor_server|$(lib 'jre17\bin\server')
preferred version|Minimum Version=1.5\nMaximum Version=any\nPreferred versions=1.5|$(lib 'jre15\bin\client')
JRockit only|Minimum Version=1.5\nMaximum Version=any\nVM Provider=jrockit|$(lib 'jrjdk\jre\bin\client')
favor_jrockit|Minimum Version=1.5\nMaximum Version=1.6.0_20\nVM Provider=favor_jrockit|$(lib 'jrjdk\jre\bin\client')
JRockit runtime|Minimum Version=1.5\nMaximum Version=1.6\nVM Provider=any\nJVM Source=only_JRE\nPreferred versions=1.6.0.0|$(lib 'jrjre\bin\client')
TABLE

start $'Minimum Version=1.5\r\nMaximum Version=any\r\nVM Provider=any'
check_contains "all four roots searched" "$TRACE" 'root Software\JRockit\Java Development Kit\ has 1 subkeys'
check_contains "kit stands for its jre folder" "$TRACE" "kept: 1.6.0.10 at $WR\\jdk16\\jre\\ (isServer no, isFavoured no)"
check_contains "no JVM library" "$TRACE" "subkey \"1.8\" version 1.8.0.0 dropped: no JVM library in $WR\\jre18\\"
check_contains "no JavaHome" "$TRACE" 'subkey "1.9" version 1.9.0.0 dropped: no JavaHome value'
check_contains "JavaHome ending in a backslash" "$TRACE" "kept: 1.7.0.0 at $WR\\jre17\\ ("

start $'Minimum Version=1.5\r\nMaximum Version=1.4'
check_equal "nothing between 1.5 and 1.4: status -1" 255 "$RUN_STATUS"
check_equal "nothing between 1.5 and 1.4: no box yet" 0 "$MSGBOX_SHOWN"
check_contains "nothing between 1.5 and 1.4: traced" "$TRACE" "no runtime found"
