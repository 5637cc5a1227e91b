# The message box of the Linux build: one line on standard error, in the
# language of the locale, with the program's name in front.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

app=$E2E_TMP/app.bin
install_launcher "$app"
write_file "$E2E_TMP/app.ini" $'[Java Runtime Environment]\nMinimum Version=1.6\n'

english="Main class was not specified in INI file."
german="Main class in der INI-Datei nicht spezifiziert."
# locale | expected text of the missing-main-class message
while IFS='|' read -r locale expected; do
    run_captured LC_ALL="$locale" "$app"
    check_equal "$locale: status -1" 255 "$RUN_STATUS"
    check_equal "$locale: one line on stderr" "app.bin: $expected"$'\n' "$RUN_STDERR"
done <<TABLE
C|$english
en_US.UTF-8|$english
de_DE.UTF-8|$german
de_AT.UTF-8|$german
it_IT.UTF-8|Classe principale non specificata nel file INI.
es_ES.UTF-8|La clase principal no fue especificada en archivo de INI.
es_MX.UTF-8|La clase principal no fue especificada en archivo de INI.
pt_PT.UTF-8|$english
pt_BR.UTF-8|$english
fr_FR.UTF-8|$english
TABLE

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
