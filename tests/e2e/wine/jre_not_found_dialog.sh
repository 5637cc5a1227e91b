# The runtime-not-found dialog under Wine, driven as a user would with
# corvid_uidriver's picker mode (tests/support/ui_driver_win.cpp): what it shows,
# Browse through the shell's folder picker to a folder holding the test JVM
# library, OK, and the "JRE Path" remembered for the next start; the ways
# out that change nothing; the link's colours and what a click opens.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
require_files "$test_jvm" "$CORVID_UIDRIVER"

# The per-user file and the browser's colour settings are written below.
wine_private_prefix
appdata=$(winepath -u "$(timeout 60 wine cmd /c 'echo %APPDATA%' </dev/null | tr -d '\r\n')" 2>/dev/null)
check "APPDATA is a folder" test -d "$appdata"

app=$E2E_TMP/app
install_launcher "$app/app.exe"
user_file="$appdata/Corvid Test/{c0}/app.ini"
world=$E2E_TMP/world.txt
log=$E2E_TMP/jvm.log
write_file "$world" "class app/Main main=print"
shots=${CORVID_E2E_SHOTS:-$E2E_TMP/shots}
mkdir -p "$shots"

# runtime FOLDER RELATIVE...: a folder holding the test library at each path.
runtime() {
    local folder=$1 relative
    shift
    for relative in "$@"; do
        mkdir -p "$(dirname "$folder/$relative")"
        cp "$test_jvm" "$folder/$relative"
    done
}
good=$E2E_TMP/rt-good
runtime "$good" bin/server/jvm.dll
client_only=$E2E_TMP/rt-client
runtime "$client_only" bin/client/jvm.dll
kit=$E2E_TMP/kit
runtime "$kit" jre/bin/server/jvm.dll
empty=$E2E_TMP/empty
mkdir -p "$empty"

# configure [RUNTIME LINES]: the application's configuration, with no
# runtime to be found; the per-user file is removed.
configure() {
    write_file "$app/app.ini" "$(printf '%b' "[Java Runtime Environment]\r\nMain Class=app/Main\r\n${1:-Minimum Version=11\r\nMaximum Version=17\r\n}[Class Path]\r\nClass Path=app.jar\r\n[Product Information]\r\nProduct Name=Corvid: Test\r\nProduct Code={c0}\r\n")"
    rm -rf "$appdata/Corvid Test" "$log"
}

# open_app [VAR=value...]: starts the application in the background.
open_app() {
    (cd "$E2E_TMP" && env CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")" "$@" \
        timeout -k 5 60 wine "$app/app.exe" first >"$E2E_TMP/app.out" 2>"$E2E_TMP/app.err" </dev/null) &
    APP=$!
}
# close_app: waits for it; APP_STATUS is its exit status.
close_app() {
    APP_STATUS=0
    wait "$APP" || APP_STATUS=$?
}
# drive COMMAND [ARGUMENT]: one step of the driver; DRIVEN is what it printed.
drive() {
    DRIVE_STATUS=0
    DRIVEN=$(timeout -k 5 40 wine "$CORVID_UIDRIVER" picker --image app.exe --timeout 30000 "$@" </dev/null 2>"$E2E_TMP/driver.err") ||
        DRIVE_STATUS=$?
    [[ $DRIVE_STATUS == 0 ]] || echo "  (corvid_uidriver picker $*: status $DRIVE_STATUS: $(cat "$E2E_TMP/driver.err"))"
}
# field KEY: that line of DRIVEN.
field() { sed -n "s/^$1=//p" <<<"$DRIVEN"; }

# ---- the whole road: no runtime, the dialog, Browse, OK, the program runs,
# ---- and the next start needs no dialog
configure
open_app LC_ALL=C
drive show
check_equal "road: title" "JRE Not Found" "$(field title)"
check_equal "road: message" "The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (version between 11.0 and 17) from:" "$(field message)"
check_equal "road: link" "https://adoptium.net/temurin/releases/" "$(field link)"
check_equal "road: OK starts disabled" "disabled" "$(field ok)"
# The dialog sets no focus; when it is activated the dialog manager gives it
# to the first control that takes it (Cancel, with OK disabled).
check_equal "road: OK has no focus" "" "$(field focus | grep -x 1)"
check_equal "road: no folder yet" "" "$(field path)"
drive browse "$(win "$good")"
check_equal "road: picked folder shown unchanged" "$(win "$good")" "$(field path)"
check_equal "road: a library enables OK" "enabled" "$(field ok)"
drive ok
close_app
check_equal "road: the program ran" 0 "$APP_STATUS"
check_contains "road: main got the argument" "$(cat "$E2E_TMP/app.out")" "first"
check_contains "road: the picked library was loaded" "$(cat "$log" 2>/dev/null)" "JNI_CreateJavaVM"
check "road: per-user file written" test -f "$user_file"
check_contains "road: JRE Path with one trailing backslash" "$(cat "$user_file" 2>/dev/null)" "JRE Path=$(win "$good")\\"
check_not_contains "road: nothing written beside" "$(cat "$app/app.ini")" "JRE Path"
rm -f "$log"
E2E_TIMEOUT=30 wine_run_jre_dialog CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")" "$app/app.exe" again
check_equal "next start: no dialog" "" "$JRE_DIALOG"
check_equal "next start: runs" 0 "$RUN_STATUS"
check_contains "next start: from JRE Path" "$(cat "$log" 2>/dev/null)" "JNI_CreateJavaVM"

# ---- Browse: OK follows the last pick
# name | JVM Type line | folders picked in turn (;) | OK after each (;)
while IFS='|' read -r name type picks expected; do
    configure "Minimum Version=11\r\nMaximum Version=17\r\n$type"
    open_app LC_ALL=C
    IFS=';' read -r -a folders <<<"$picks"
    states=()
    shown=()
    for folder in "${folders[@]}"; do
        if [[ $folder == cancel ]]; then
            drive browse-cancel
        else
            drive browse "$(win "$E2E_TMP/$folder")"
        fi
        states+=("$(field ok)")
        shown+=("$(field path)")
    done
    check_equal "browse: $name" "$expected" "$(IFS=';'; echo "${states[*]}")"
    [[ "$(IFS=';'; echo "${states[*]}")" == "$expected" ]] || echo "       folders shown: ${shown[*]}"
    drive cancel
    close_app
    check_equal "browse: $name: Cancel ends with -1" 255 "$APP_STATUS"
done <<'TABLE'
a folder without a library||empty|disabled
a good pick then one without|JVM Type=default\r\n|rt-good;empty|enabled;disabled
a cancelled Browse changes nothing||rt-good;cancel|enabled;enabled
server: a client library is not enough|JVM Type=server\r\n|rt-client;rt-good|disabled;enabled
favor_server: a client library will do|JVM Type=favor_server\r\n|rt-client|enabled
a kit's top folder: no jre\ added||kit;kit/jre|disabled;enabled
TABLE

# ---- the ways out that change nothing
for way in cancel escape close; do
    configure
    # An existing per-user file whose runtime folder holds no library.
    write_file "$user_file" "$(printf '[Java Runtime Environment]\r\nJRE Path=%s\r\n' "$(win "$empty")")"
    cp "$app/app.ini" "$E2E_TMP/app.ini.before"
    cp "$user_file" "$E2E_TMP/user.ini.before"
    open_app LC_ALL=C
    drive browse "$(win "$good")"
    drive "$way"
    close_app
    check_equal "$way: ends with -1" 255 "$APP_STATUS"
    check "$way: the file beside unchanged" cmp -s "$app/app.ini" "$E2E_TMP/app.ini.before"
    check "$way: the per-user file unchanged" cmp -s "$user_file" "$E2E_TMP/user.ini.before"
done

# ---- the link: colours, the hand, the tooltip, what a click opens
# colours_in NAME: the colours of the link control's pixels in a screenshot
# of the whole screen, as "#RRGGBB" words, most frequent first.
colours_in() {
    import -window root -display "$DISPLAY" "$shots/$1.png"
    local l t r b
    IFS=',' read -r l t r b <<<"$(field linkrect)"
    convert "$shots/$1.png" -crop "$((r - l))x$((b - t))+$l+$t" +repage -format %c histogram:info:- |
        sort -rn | grep -o '#[0-9A-F]\{6\}' | tr '\n' ' '
}
configure
open_app LC_ALL=C
drive show
check_contains "link: blue by default" "$(colours_in link-default)" "#0000FF"
drive cancel
close_app

set_link_colour() {
    wine reg add 'HKCU\Software\Microsoft\Internet Explorer\Settings' /v "Anchor Color" /t REG_SZ /d "$1" /f >/dev/null
}
check "link colour set in HKCU" set_link_colour "255,0,0"
marker=$E2E_TMP/opened.txt
opener=$E2E_TMP/open-link.bat
write_file "$opener" "$(printf '@echo opened>"%s"\r\n' "$(win "$marker")")"
configure "Minimum Version=11\r\nMaximum Version=17\r\nDownload URL=$(win "$opener" | sed 's/\\/\\\\/g')\r\n"
rm -f "$marker"
open_app LC_ALL=C
drive show
check_equal "link: Download URL replaces the address" "$(win "$opener")" "$(field link)"
before=$(colours_in link-red)
check_contains "link: Anchor Color 255,0,0 paints it red" "$before" "#FF0000"
check_not_contains "link: no default blue then" "$before" "#0000FF"
drive hover
check_equal "link: tooltip shows the target" "$(win "$opener")" "$(field tooltip)"
check_equal "link: not the arrow over the text" "other" "$(field cursor)"
drive click-blank
sleep 2
check "link: a click beside the text opens nothing" test ! -e "$marker"
drive show
check_equal "link: ... and takes no focus" "" "$(field focus | grep -x 205)"
drive drag-out
sleep 2
check "link: a click that ends outside opens nothing" test ! -e "$marker"
drive show
check_equal "link: a press on the text takes the focus" "205" "$(field focus)"
drive click
for _ in $(seq 50); do [[ -e $marker ]] && break; sleep 0.2; done
check "link: a click opens the target" test -e "$marker"
drive show
after=$(colours_in link-visited)
check_contains "link: visited colour after the click" "$after" "#800080"
check_not_contains "link: no longer red" "$after" "#FF0000"
drive cancel
close_app
wine reg delete 'HKCU\Software\Microsoft\Internet Explorer\Settings' /v "Anchor Color" /f >/dev/null 2>&1

# ---- a drive root keeps its one backslash
mkdir -p "$WINEPREFIX/drive_c/bin/server"
cp "$test_jvm" "$WINEPREFIX/drive_c/bin/server/jvm.dll"
configure
open_app LC_ALL=C
drive browse 'C:\'
check_equal "drive root: shown" 'C:\' "$(field path)"
check_equal "drive root: its library enables OK" "enabled" "$(field ok)"
drive ok
close_app
check_equal "drive root: runs" 0 "$APP_STATUS"
check_contains "drive root: stored with one backslash" "$(cat "$user_file" 2>/dev/null)" $'JRE Path=C:\\\r'
rm -rf "$WINEPREFIX/drive_c/bin"

# layout_matches NAME LANGUAGE: the controls of the open dialog, read with
# corvid_uidriver, stand where the template of LANGUAGE puts them (dialog
# units scaled by the group box, which is the same in every language). The
# icon is left out: the static sizes itself to the icon.
layout_matches() {
    local controls
    controls=$(timeout -k 5 40 wine "$CORVID_UIDRIVER" dialog --image app.exe --timeout 20000 controls </dev/null)
    local style
    style=$(awk -F'\t' '$1 == "dialog" { print $3 }' <<<"$controls")
    if (((style & 0x80C800C8) == 0x80C800C8)); then pass "$1: style"; else fail "$1: style" "$style"; fi
    check_equal "$1: per-monitor DPI aware" "dpi=2" "$(awk -F'\t' '$1 == "dialog" { print $9 }' <<<"$controls")"
    # id/class/text-kind -> x y w h, English first, then the differences.
    local -A want=([1]="107 122 50 14" [2]="161 122 50 14" [201]="60 89 94 14" [label]="12 92 45 8"
        [202]="157 89 50 14" [203]="44 22 160 34" [205]="44 58 147 8" [206]="12 73 195 8")
    case $2 in
        de) want[201]="48 89 105 14" want[label]="12 92 31 8" want[202]="156 89 52 14" want[206]="12 71 195 15" ;;
        es) want[201]="80 89 74 14" want[label]="12 92 65 8" ;;
    esac
    local table="" key
    for key in "${!want[@]}"; do table+="$key ${want[$key]}"$'\n'; done
    local verdict
    verdict=$(awk -F'\t' -v table="$table" '
        BEGIN { n = split(table, lines, "\n"); for (i = 1; i <= n; i++) if (lines[i] != "") { split(lines[i], f, " "); want[f[1]] = f[2] " " f[3] " " f[4] " " f[5] } }
        $1 == "control" {
            key = $2
            if ($2 == 65535 && $3 == "Static") key = "label"
            if ($2 == 65535 && $3 == "Button") { split($6, g, ","); gx = g[1]; gy = g[2]; sx = (g[3] - g[1]) / 203; sy = (g[4] - g[2]) / 103 }
            else rect[key] = $6
        }
        END {
            bad = ""
            for (key in want) {
                split(want[key], w, " "); split(rect[key], r, ",")
                if (!(key in rect)) { bad = bad " " key ":missing"; continue }
                ex[1] = gx + (w[1] - 8) * sx; ex[2] = gy + (w[2] - 11) * sy
                ex[3] = gx + (w[1] + w[3] - 8) * sx; ex[4] = gy + (w[2] + w[4] - 11) * sy
                for (i = 1; i <= 4; i++) { d = r[i] - ex[i]; if (d > 2 || d < -2) { bad = bad " " key ":" rect[key]; break } }
            }
            print bad == "" ? "ok" : bad
        }' <<<"$controls")
    check_equal "$1: controls where the template puts them" "ok" "$verdict"
}

# ---- the texts in the five languages, with the tooltip shown
# locale | bounds (\r\n between lines) | JVM Type | title | message
while IFS='|' read -r locale bounds type title message; do
    configure "$bounds\r\n$type\r\n"
    open_app LC_ALL="$locale"
    drive show
    check_equal "$locale: title" "$title" "$(field title)"
    check_equal "$locale: message" "$message" "$(field message)"
    layout_matches "$locale" "${locale:0:2}"
    drive hover
    check_equal "$locale: tooltip" "https://adoptium.net/temurin/releases/" "$(field tooltip)"
    import -window root -display "$DISPLAY" "$shots/dialog-${locale%%.*}.png"
    drive cancel
    close_app
done <<'TABLE'
C|Minimum Version=17\r\nMaximum Version=any||JRE Not Found|The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (minimum version 17.0) from:
de_DE.UTF-8|Minimum Version=any\r\nMaximum Version=17|JVM Type=server|JRE nicht gefunden|Das Java Runtime Environment (JRE) wurde nicht gefunden. Bitte  downloaden und installieren Sie eine JRE mit Server JVM (maximum Version 17) von:
it_IT.UTF-8|Minimum Version=11\r\nMaximum Version=17||JRE non trovato|Java Runtime Environment (JRE) non trovato. Scaricare ed installare JRE (una versione tra la 11.0 e la 17) da:
pt_PT.UTF-8|Minimum Version=any\r\nMaximum Version=any||JRE Not Found|The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (latest version) from:
es_ES.UTF-8|Minimum Version=1.6.0.10\r\nMaximum Version=1.6.0.10||JRE No encontrado|El ambiente runtime de Java (JRE) no fue encontrado. Descargue e instale por favor un JRE (se requiere la versión 1.6.0.10) de:
TABLE
