# The message box of the Linux build: one line on standard error, in the
# language of the locale, with the program's name in front.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

app=$E2E_TMP/app.bin
install_launcher "$app"
write_file "$E2E_TMP/app.ini" $'[Java Runtime Environment]\nMinimum Version=1.6\n'

source "$(dirname "${BASH_SOURCE[0]}")/../cases/messages.sh"

# LC_ALL overrides LC_MESSAGES, which overrides LANG.
run_captured LC_ALL= LC_MESSAGES=it_IT.UTF-8 LANG=de_DE.UTF-8 "$app"
check_contains "LC_MESSAGES before LANG" "$RUN_STDERR" "Classe principale"
run_captured LC_ALL= LC_MESSAGES= LANG=de_DE.UTF-8 "$app"
check_contains "LANG last" "$RUN_STDERR" "$german"

run_captured LC_ALL=C "$app"
check_equal "nothing on stdout" "" "$RUN_STDOUT"

# The program's name is the name it was started by.
ln -s app.bin "$E2E_TMP/other.bin"
write_file "$E2E_TMP/other.ini" $'[Java Runtime Environment]\n'
run_captured LC_ALL=C "$E2E_TMP/other.bin"
check_equal "name of the link started" "other.bin: $english"$'\n' "$RUN_STDERR"
