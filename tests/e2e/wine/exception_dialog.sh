# The "Java Exception" dialog of corvid.exe under Wine, with the test JVM
# library (tests/support/test_jvm) throwing from main: what the dialog shows
# in each language, how it resizes, and how each answer ends the program.
# Screenshots of every language, at the initial size and enlarged, go to
# $CORVID_E2E_SCREENSHOTS (default: e2e-screenshots/exception_dialog in the
# build tree).
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
require_files "$test_jvm"
shots=${CORVID_E2E_SCREENSHOTS:-$CORVID_BUILD_DIR/e2e-screenshots}/exception_dialog
mkdir -p "$shots"

app=$E2E_TMP/app
install_launcher "$app/app.exe"
mkdir -p "$E2E_TMP/rt/bin/server" "$E2E_TMP/rt/lib"
cp "$test_jvm" "$E2E_TMP/rt/bin/server/jvm.dll"
log=$E2E_TMP/jvm.log
world=$E2E_TMP/world.txt
title="Java Exception"

# configure FAILURE_CHECK WORLD_LINES...
configure() {
    local check=$1
    shift
    write_file "$app/app.ini" "$(printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" \
        "JRE Path=$(win "$E2E_TMP/rt")" "[Class Path]" "Class Path=app.jar" "[Application]" "Failure Check=$check")"
    write_file "$world" "$(printf '%s\n' "$@")"
    rm -f "$log"
}
start() {
    wine_start CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")" LC_ALL=C.UTF-8 \
        "$@" "$app/app.exe"
}
finish() {
    wine_wait
    LOG=""
    [[ -f $log ]] && LOG=$(cat "$log")
}
# The lines of LOG that tell how the program ended, in order.
ending() {
    grep -E '^(main throws|System.exit|DestroyJavaVM|lingering thread ends)' <<<"$LOG" |
        sed 's/ thread=[0-9]*//; s/;.*//'
}
shoot() { import -window root -display "$DISPLAY" "$shots/$1.png" </dev/null 2>/dev/null || fail "screenshot $1"; }

trace_world='trace java.lang.IllegalStateException: thrown by the test world\n\tat app.Main.main(Main.java:1)'

# ---- the answers ------------------------------------------------------------------
CASE="Ignore"
# The thread lives 6 s, long enough to outlive the dialog on a loaded machine.
configure Yes "$trace_world" "class app/Main main=linger:6000,throw"
start
ui_dialog --title "$title" controls click 1 wait-gone
finish
check_equal "$CASE: driven" 0 "$DIALOG_STATUS"
check_equal "$CASE: exit code" 0 "$RUN_STATUS"
check_equal "$CASE: the program's thread runs on; DestroyJavaVM waits for it" \
    "$(printf '%s\n' "main throws java/lang/IllegalStateException" "DestroyJavaVM waits for 1 threads" \
        "lingering thread ends" "DestroyJavaVM returns")" "$(ending)"
# The dialog is drawn for its monitor's dpi; the Java thread follows the
# process default before and after it, as do the threads the program starts
# (on Windows unaware, which a Java 8 runtime leaves to the system's scaling;
# Wine 8 runs a process that declares nothing as per-monitor aware).
check_equal "$CASE: the dialog is per-monitor DPI aware" "dpi=2" "$(dialog_field dialog 9)"
check_equal "$CASE: the Java thread, the program's thread, the Java thread after the dialog: the process default" \
    "process default|process default|process default" "$(grep '^dpi awareness' <<<"$LOG" | cut -d' ' -f4-5 | paste -sd'|')"
check_contains "$CASE: the exception printed before the dialog" "$RUN_STDERR" \
    'Exception in thread "main" java.lang.IllegalStateException: thrown by the test world'
# What the dialog held, read before Ignore.
check_equal "$CASE: controls in template order, and the grip" "209 204 210 208 211 212 1 2 59393" \
    "$(grep '^control' <<<"$DIALOG_OUTPUT" | cut -f2 | tr '\n' ' ' | sed 's/ $//')"
check_equal "$CASE: classes" "Button Static Static Edit Static Static Button Button ScrollBar" \
    "$(grep '^control' <<<"$DIALOG_OUTPUT" | cut -f3 | tr '\n' ' ' | sed 's/ $//')"
check_equal "$CASE: everything enabled and visible" "" \
    "$(grep '^control' <<<"$DIALOG_OUTPUT" | awk -F'\t' '$4 != 1 || $5 != 1 { print $2 }')"
trace_style=$(dialog_field 208 7)
for bit in 0x0004:ES_MULTILINE 0x0800:ES_READONLY 0x00200000:WS_VSCROLL 0x00010000:WS_TABSTOP; do
    if (((trace_style & ${bit%%:*}) != 0)); then pass "$CASE: trace field ${bit#*:}"; else fail "$CASE: trace field ${bit#*:}" "style $trace_style"; fi
done
check_equal "$CASE: the trace as printStackTrace wrote it" \
    'java.lang.IllegalStateException: thrown by the test world\r\n\tat app.Main.main(Main.java:1)\r\n' \
    "$(dialog_field 208 8)"
check_equal "$CASE: the grip's style" 0x5400001C "$(dialog_field 59393 7)"
dialog_style=$(dialog_field dialog 3)
if (((dialog_style & 0x02000000) != 0 && (dialog_style & 0x00040000) != 0)); then
    pass "$CASE: clip-children forced, resizable frame"
else
    fail "$CASE: clip-children forced, resizable frame" "style $dialog_style"
fi
if ((($(dialog_field dialog 4) & 0x1) != 0)); then pass "$CASE: modal frame"; else fail "$CASE: modal frame" "$(dialog_line dialog)"; fi
# Centred on the work area, which is the whole 1280 x 1024 screen of Xvfb.
IFS=, read -r left top right bottom <<<"$(dialog_field dialog 5)"
check_equal "$CASE: centred" "$((640 - (right - left) / 2)),$((512 - (bottom - top) / 2))" "$left,$top"

CASE="ways to stop"
# Rows: name | driver steps | exit code | System.exit in the log
while IFS='|' read -r name steps expected exits; do
    configure Yes "$trace_world" "class app/Main main=linger:2000,throw"
    start
    # shellcheck disable=SC2086
    ui_dialog --title "$title" $steps wait-gone
    finish
    check_equal "$CASE: $name: driven" 0 "$DIALOG_STATUS"
    check_equal "$CASE: $name: exit code" "$expected" "$RUN_STATUS"
    if [[ $exits == yes ]]; then
        check_contains "$CASE: $name: through System.exit(-1)" "$LOG" "System.exit -1"
    else
        check_not_contains "$CASE: $name: no System.exit" "$LOG" "System.exit"
    fi
done <<'EOF'
Stop button|click 2|255|yes
Esc|key esc|255|yes
close box|close|255|yes
Enter is Ignore|key enter|0|no
EOF

CASE="Failure Check off"
configure No "$trace_world" "class app/Main main=throw"
start
ui_dialog --timeout 3000 controls
finish
check_equal "$CASE: no dialog" 1 "$DIALOG_STATUS"
check_equal "$CASE: exit code 1, as java's" 1 "$RUN_STATUS"
check_not_contains "$CASE: no trace taken" "$LOG" "printStackTrace"

# ---- what it shows ------------------------------------------------------------------
CASE="non-ASCII trace"
configure Yes "charset utf-8" 'trace java.lang.IllegalStateException: Grüße, Ελλάδα, 中文\n\tat app.Main.main(Main.java:1)' \
    "class app/Main main=throw"
start
ui_dialog --title "$title" controls click 2 wait-gone
finish
printed=${RUN_STDERR#Exception in thread \"main\" }
printed=${printed//$'\r'/\\r}
printed=${printed//$'\n'/\\n}
printed=${printed//$'\t'/\\t}
check_contains "$CASE: printed as thrown" "$RUN_STDERR" "Grüße, Ελλάδα, 中文"
check_equal "$CASE: the field shows what was printed" "$printed" "$(dialog_field 208 8)"

CASE="long trace"
long='trace java.lang.IllegalStateException: deep'
for i in $(seq 1 80); do long+="\\n\\tat app.Level$i.call(Level$i.java:$i)"; done
configure Yes "$long" "class app/Main main=throw"
start
ui_dialog --title "$title" controls scroll 208 top controls scroll 208 down controls click 2 wait-gone
finish
check_equal "$CASE: every line in the field" "lines=82" "$(DIALOG_OUTPUT=$(sed -n 1,10p <<<"$DIALOG_OUTPUT") dialog_field 208 9)"
check_equal "$CASE: scrolled to the top" "first=0" "$(DIALOG_OUTPUT=$(sed -n 11,20p <<<"$DIALOG_OUTPUT") dialog_field 208 10)"
paged=$(DIALOG_OUTPUT=$(sed -n 21,30p <<<"$DIALOG_OUTPUT") dialog_field 208 10)
if [[ $paged =~ ^first=([0-9]+)$ && ${BASH_REMATCH[1]} -gt 0 ]]; then
    pass "$CASE: the scroll bar pages down"
else
    fail "$CASE: the scroll bar pages down" "$paged"
fi

# ---- resizing --------------------------------------------------------------------
CASE="resizing"
configure Yes "$trace_world" "class app/Main main=throw"
start
ui_dialog --title "$title" controls resize 100 50 controls resize -150 -120 controls \
    maximize controls restore controls click 2 wait-gone
finish
check_equal "$CASE: driven" 0 "$DIALOG_STATUS"
# The driver printed five snapshots of 10 lines each.
snapshot() { sed -n "$((($1 - 1) * 10 + 1)),$(($1 * 10))p" <<<"$DIALOG_OUTPUT"; }
initial=$(snapshot 1)
enlarged=$(snapshot 2)
shrunk=$(snapshot 3)
maximized=$(snapshot 4)
restored=$(snapshot 5)
rect_of() { DIALOG_OUTPUT=$1 dialog_field "$2" "$3"; }
IFS=, read -r cw ch <<<"$(rect_of "$initial" dialog 6)"
check_equal "$CASE: the client area grows by 100 x 50" "$((cw + 100)),$((ch + 50))" "$(rect_of "$enlarged" dialog 6)"
# Rows: control id and the change of its left, top, right, bottom edges.
while read -r id dl dt dr db; do
    IFS=, read -r l t r b <<<"$(rect_of "$initial" "$id" 6)"
    check_equal "$CASE: control $id moves by $dl,$dt,$dr,$db" "$((l + dl)),$((t + dt)),$((r + dr)),$((b + db))" \
        "$(rect_of "$enlarged" "$id" 6)"
done <<'EOF'
209 0 0 100 50
204 0 0 0 0
210 0 0 100 0
208 0 0 100 50
211 0 50 100 50
212 0 50 100 50
1 100 50 100 50
2 100 50 100 50
59393 100 50 100 50
EOF
check_equal "$CASE: not smaller than it opened" "$(rect_of "$initial" dialog 5)" "$(rect_of "$shrunk" dialog 5)"
check_equal "$CASE: controls back in place at the initial size" "$(grep '^control' <<<"$initial")" \
    "$(grep '^control' <<<"$shrunk")"
check_equal "$CASE: maximized" "zoomed=1" "$(rect_of "$maximized" dialog 7)"
check_equal "$CASE: maximizing hides the grip" 0 "$(rect_of "$maximized" 59393 5)"
IFS=, read -r mw mh <<<"$(rect_of "$maximized" dialog 6)"
IFS=, read -r l t r b <<<"$(rect_of "$initial" 2 6)"
check_equal "$CASE: maximized, Stop keeps its distance to the corner" "$((l + mw - cw)),$((t + mh - ch)),$((r + mw - cw)),$((b + mh - ch))" \
    "$(rect_of "$maximized" 2 6)"
check_equal "$CASE: restoring shows the grip" 1 "$(rect_of "$restored" 59393 5)"
check_equal "$CASE: restored to the initial layout" "$(grep '^control' <<<"$initial")" "$(grep '^control' <<<"$restored")"

# ---- languages ------------------------------------------------------------------
CASE="languages"
# Rows: locale | screenshot name | group box | text 210 | text 211 | text 212 | Ignore | Stop
while IFS='|' read -r locale name group intro advice warning ignore stop; do
    configure Yes "$trace_world" "class app/Main main=throw"
    start LC_ALL="$locale"
    ui_dialog --title "$title" controls sleep 300
    shoot "$name-initial"
    snapshot_initial=$DIALOG_OUTPUT
    ui_dialog --title "$title" resize 240 160 controls sleep 300
    shoot "$name-enlarged"
    ui_dialog --title "$title" click 2 wait-gone
    finish
    DIALOG_OUTPUT=$snapshot_initial
    check_equal "$CASE: $name" \
        "$(printf '%s\n' "$title" "$group" "$intro" "$advice" "$warning" "$ignore" "$stop")" \
        "$(printf '%s\n' "$(dialog_field dialog 2)" "$(dialog_field 209 8)" "$(dialog_field 210 8)" \
            "$(dialog_field 211 8)" "$(dialog_field 212 8)" "$(dialog_field 1 8)" "$(dialog_field 2 8)")"
    check_equal "$CASE: $name: Stop" 255 "$RUN_STATUS"
done <<'EOF'
de_DE.UTF-8|german|Nicht abgefangene Exception|The Javaprozess hat die folgende nicht abgefangene Exception ausgegeben:|Ignorieren klicken um fortzufahren und die Exception zu übergehen oder Stop klicken, um die Anwendung zu schließen.|WARNUNG: Wenn Sie die Anwendung anhalten, gehen alle nicht gesichernten Daten verloren.|Ignorieren|Stop
de_AT.UTF-8|german-austria|Nicht abgefangene Exception|The Javaprozess hat die folgende nicht abgefangene Exception ausgegeben:|Ignorieren klicken um fortzufahren und die Exception zu übergehen oder Stop klicken, um die Anwendung zu schließen.|WARNUNG: Wenn Sie die Anwendung anhalten, gehen alle nicht gesichernten Daten verloren.|Ignorieren|Stop
it_IT.UTF-8|italian|Uncaught Exception|The java process has thrown the following uncaught exception:|Press Ignore to continue and ignore the exception or press Stop to close the application.|WARNING: If you chose to Stop the application any unsaved data will be lost.|Ignore|Stop
pt_PT.UTF-8|portuguese|Uncaught Exception|The java process has thrown the following uncaught exception:|Press Ignore to continue and ignore the exception or press Stop to close the application.|WARNING: If you chose to Stop the application any unsaved data will be lost.|Ignore|Stop
es_ES.UTF-8|spanish|Uncaught Exception|The java process has thrown the following uncaught exception:|Press Ignore to continue and ignore the exception or press Stop to close the application.|WARNING: If you chose to Stop the application any unsaved data will be lost.|Ignore|Stop
fr_FR.UTF-8|english-under-french|Uncaught Exception|The java process has thrown the following uncaught exception:|Press Ignore to continue and ignore the exception or press Stop to close the application.|WARNING: If you choose to Stop the application any unsaved data will be lost.|Ignore|Stop
EOF
