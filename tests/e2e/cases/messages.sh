# Cases of the messages suites, run by both kinds: the message a start without
# a main class shows, in the system's language (a line on standard error on
# Linux, a box under Wine). Needs $app, beside a configuration without one.
english="Main class was not specified in INI file."
german="Main class in der INI-Datei nicht spezifiziert."
# locale | expected text of the missing-main-class message
while IFS='|' read -r locale expected; do
    run_shown LC_ALL="$locale" "$app"
    check_equal "$locale: status -1" 255 "$RUN_STATUS"
    check_shown "$locale: the message" "$expected"
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
