# Which configuration files the Linux build reads: the one beside the program
# (the file name's extension replaced by "ini", or ".ini" appended), and the
# per-user file under $XDG_CONFIG_HOME that can hold "JRE Path".
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

source "$(dirname "${BASH_SOURCE[0]}")/../cases/config_file.sh"

# A configuration file that is not there is named.
dir=$E2E_TMP/missing
install_launcher "$dir/app.bin"
run_captured LC_ALL=C "$dir/app.bin"
check_equal "missing file: status -1" 255 "$RUN_STATUS"
check_equal "missing file: named" "app.bin: The configuration file $dir/app.ini was not found."$'\n' "$RUN_STDERR"

# The per-user file: $XDG_CONFIG_HOME/<product name less \?"|><:/*>/<code>/<program>.ini
dir=$E2E_TMP/user
install_launcher "$dir/app/tool.bin"
user_file="Tool Pro/{1234}/tool.ini"
# case | XDG_CONFIG_HOME | [Application] lines beside | per-user file | its content | JRE Path read
# (line breaks written \n)
while IFS='|' read -r name xdg application user content expected; do
    rm -rf "$dir/xdg" "$dir/home" "$dir/trace"
    write_file "$dir/app/tool.ini" "$(printf '%b' "[Application]\n$application\n[Product Information]\nProduct Name=Tool: Pro?\nProduct Code={1234}\n[Java Runtime Environment]\nJRE Path=/beside/jre\n")"
    [[ -n $user ]] && write_file "$dir/$user" "$(printf '%b' "$content")"
    run_captured LC_ALL=C HOME="$dir/home" XDG_CONFIG_HOME="$xdg" CORVID_TRACE="$dir/trace" "$dir/app/tool.bin"
    check_contains "per-user file: $name" "$(<"$dir/trace")" "JRE Path = \"$expected\""
done <<TABLE
under XDG_CONFIG_HOME|$dir/xdg||xdg/$user_file|[Java Runtime Environment]\nJRE Path=/user/jre|/user/jre
XDG_CONFIG_HOME empty: ~/.config|||home/.config/$user_file|[Java Runtime Environment]\nJRE Path=/home/jre|/home/jre
without the key it hides the one beside|$dir/xdg||xdg/$user_file|[Java Runtime Environment]|
absent: the file beside|$dir/xdg||||/beside/jre
a service ignores it|$dir/xdg|Application Type=service|xdg/$user_file|[Java Runtime Environment]\nJRE Path=/user/jre|/beside/jre
TABLE

# Without a runtime there is no dialog on Linux: one line says what is
# needed and where to get it, and the start ends with -1.
dir=$E2E_TMP/configured
install_launcher "$dir/app.bin"
write_file "$dir/app.ini" $'[Java Runtime Environment]\nMain Class=com.example.Main\nMinimum Version=1.6\n'
run_captured LC_ALL=C CORVID_RUNTIMES=/nonexistent-corvid "$dir/app.bin"
check_equal "no runtime found: status -1" 255 "$RUN_STATUS"
check_equal "no runtime found: one line" "app.bin: The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (minimum version 1.6) from: https://adoptium.net/temurin/releases/"$'\n' "$RUN_STDERR"
write_file "$dir/app.ini" $'[Java Runtime Environment]\nMain Class=com.example.Main\nMaximum Version=17\nJVM Type=server\nDownload URL=https://example.org/java\n'
run_captured LC_ALL=de_DE.UTF-8 CORVID_RUNTIMES=/nonexistent-corvid "$dir/app.bin"
check_equal "no runtime found: own page, server, German" "app.bin: Das Java Runtime Environment (JRE) wurde nicht gefunden. Bitte  downloaden und installieren Sie eine JRE mit Server JVM (maximum Version 17) von: https://example.org/java"$'\n' "$RUN_STDERR"
check_equal "no runtime found: status -1 again" 255 "$RUN_STATUS"
