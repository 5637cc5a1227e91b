# The launcher's message box under Wine: the text a user reads in it, in the
# system's language, and the exit code once it is closed.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

app=$E2E_TMP/MyApp.exe
install_launcher "$app"
write_file "$E2E_TMP/MyApp.ini" $'[Java Runtime Environment]\r\nMinimum Version=1.6\r\n'

source "$(dirname "${BASH_SOURCE[0]}")/../cases/messages.sh"

# The box has no title of its own: the system shows its default one.
while IFS='|' read -r locale title; do
    wine_run_msgbox LC_ALL="$locale" "$app"
    check_equal "$locale: the system's title" "$title" "$MSGBOX_TITLE"
done <<'TABLE'
C|Error
de_DE.UTF-8|Fehler
TABLE

# The box is drawn for its monitor's dpi, though the process declares no
# awareness (the JVM would inherit it).
wine_start "$app"
ui_dialog controls key enter wait-gone
wine_wait
check_equal "the box: driven" 0 "$DIALOG_STATUS"
check_equal "the box: per-monitor DPI aware" "dpi=2" "$(dialog_field dialog 9)"
check_equal "the box: closed, status -1" 255 "$RUN_STATUS"
