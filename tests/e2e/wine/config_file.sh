# Which configuration files the Windows executable reads: the path cut after
# its last "." with "ini" appended (none when there is no "."), and the
# per-user file under APPDATA that can hold "JRE Path".
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

source "$(dirname "${BASH_SOURCE[0]}")/../cases/config_file.sh"

# A configuration file that is not there is named, in the user's language.
dir=$E2E_TMP/missing
install_launcher "$dir/MyApp.exe"
for locale in C de_DE.UTF-8; do
    wine_run_msgbox LC_ALL=$locale "$dir/MyApp.exe"
    check_equal "missing file ($locale): status -1" 255 "$RUN_STATUS"
    expected="The configuration file $(to_windows_path "$dir/MyApp.ini") was not found."
    [[ $locale == de_* ]] && expected="Die Konfigurationsdatei $(to_windows_path "$dir/MyApp.ini") wurde nicht gefunden."
    check_equal "missing file ($locale): named" "$expected" "$MSGBOX_TEXT"
done

# No "." anywhere in the path: no configuration file, nothing shown.
dir=$E2E_TMP/nodot
if [[ $dir == *.* ]]; then
    fail "no '.' in the path" "the temp dir $dir has a '.': set TMPDIR to a folder without one"
else
    install_launcher "$dir/app"
    write_file "$dir/app.ini" "$no_main_class"
    wine_run_msgbox LC_ALL=C CORVID_TRACE="$(to_windows_path "$dir/trace")" "$dir/app"
    check_equal "no '.': status -1" 255 "$RUN_STATUS"
    check_equal "no '.': nothing shown" 0 "$MSGBOX_SHOWN"
    check_not_contains "no '.': no configuration file" "$(<"$dir/trace")" "configuration file"
fi

# The per-user file: %APPDATA%\<product name less \?"|><:/*>\<code>\<program>.ini.
# Wine sets APPDATA itself, inside the prefix; a private prefix keeps the
# shared one clean.
wine_private_prefix
appdata=$(winepath -u "$(timeout 60 wine cmd /c 'echo %APPDATA%' </dev/null | tr -d '\r\n')" 2>/dev/null)
check "APPDATA is a folder" test -d "$appdata"
dir=$E2E_TMP/user
install_launcher "$dir/app/tool.exe"
user_file="$appdata/Tool Pro/{1234}/tool.ini"
# case | [Application] lines beside | per-user file present | its content | JRE Path read
# (line breaks written \n)
while IFS='|' read -r name application present content expected; do
    rm -rf "$appdata/Tool Pro" "$dir/trace"
    write_file "$dir/app/tool.ini" "$(printf '%b' "[Application]\r\n$application\r\n[Product Information]\r\nProduct Name=Tool: Pro?\r\nProduct Code={1234}\r\n[Java Runtime Environment]\r\nJRE Path=C:\\\\beside\\\\jre\r\n")"
    [[ $present == yes ]] && write_file "$user_file" "$(printf '%b' "$content")"
    wine_run_msgbox LC_ALL=C CORVID_TRACE="$(to_windows_path "$dir/trace")" "$dir/app/tool.exe"
    check_contains "per-user file: $name" "$(<"$dir/trace")" "JRE Path = \"$expected\""
done <<'TABLE'
read from APPDATA||yes|[Java Runtime Environment]\r\nJRE Path=C:\\user\\jre|C:\user\jre
without the key it hides the one beside||yes|[Java Runtime Environment]\r\n|
absent: the file beside||no||C:\beside\jre
a service ignores it|Application Type=service|yes|[Java Runtime Environment]\r\nJRE Path=C:\\user\\jre|C:\beside\jre
TABLE

# Without a runtime, a complete configuration shows the runtime-not-found
# dialog; its Cancel ends the start with -1.
dir=$E2E_TMP/configured
install_launcher "$dir/MyApp.exe"
write_file "$dir/MyApp.ini" $'[Java Runtime Environment]\r\nMain Class=com.example.Main\r\nMinimum Version=1.6\r\n'
E2E_TIMEOUT=15 wine_run_jre_dialog LC_ALL=C "$dir/MyApp.exe"
check_equal "no runtime found: status -1" 255 "$RUN_STATUS"
check_contains "no runtime found: the dialog shown" "$JRE_DIALOG" "title=JRE Not Found"
