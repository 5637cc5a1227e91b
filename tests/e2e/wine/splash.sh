# The splash screen of corvid.exe under Wine, hosting the test JVM library
# whose main sleeps while the splash is up: what the screen shows (pictures
# in three formats, compared by pixel colour), the window's class and styles,
# pictures that cannot be loaded, the owner of a message box, when the
# window goes, the switches that suppress it, the runtime's splash library
# (a test library that records its calls) and a screen of 144 dpi.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
test_splash_dir=$CORVID_BUILD_DIR/tests/support/test_splash
require_files "$test_jvm" "$test_splash_dir/corvid_test_splash.dll" "$test_splash_dir/corvid_test_splash_no_init.dll" "$CORVID_UIDRIVER"
for tool in convert import; do
    command -v "$tool" >/dev/null || { fail "prerequisites" "$tool (imagemagick) is not installed"; exit 1; }
done

# The 144 dpi case changes the registry.
wine_private_prefix

app=$E2E_TMP/app
install_launcher "$app/app.exe"
log=$E2E_TMP/run.log
world=$E2E_TMP/world.txt
trace=$E2E_TMP/trace.txt

# A runtime with the test JVM, one with the test splash library beside it,
# and one whose splash library lacks SplashInit.
make_runtime() {
    mkdir -p "$1/bin/server" "$1/lib"
    cp "$test_jvm" "$1/bin/server/jvm.dll"
    [[ -z ${2:-} ]] || cp "$test_splash_dir/$2.dll" "$1/bin/splashscreen.dll"
}
make_runtime "$E2E_TMP/rt"
make_runtime "$E2E_TMP/rt-splash" corvid_test_splash
make_runtime "$E2E_TMP/rt-no-init" corvid_test_splash_no_init

# The picture: 400 x 300, its top left quarter green, the rest red.
green="32,160,64"
red="192,48,32"
make_picture() {
    convert -size 400x300 "xc:rgb($red)" -fill "rgb($green)" -draw "rectangle 0,0 199,149" "$@"
}
make_picture BMP3:"$app/splash.bmp"
make_picture "$app/splash.gif"
make_picture -quality 95 "$app/splash.jpg"
make_picture "$app/splash.png"
# A picture whose size is physical (0.01 mm), not pixels: it grows with the dpi.
timeout 30 wine "$CORVID_UIDRIVER" emf "$(win "$app/splash.emf")" </dev/null >/dev/null 2>&1 ||
    fail "prerequisites" "could not write a metafile"
printf 'not a picture at all\n' >"$app/corrupt.bmp"
: >"$app/empty.bmp"

# configure RUNTIME DISPLAY_LINES [WORLD]: app.ini and the test JVM's world.
configure() {
    printf '%s\n' "[Java Runtime Environment]" "Main Class=app.Main" "JRE Path=$(win "$1")" \
        "[Class Path]" "Class Path=app.jar" "[Display]" "$2" >"$app/app.ini"
    printf '%s\n' "${3:-class app/Main main=sleep:1500}" >"$world"
    rm -f "$log" "$trace"
}

run_env=(CORVID_TEST_JVM_WORLD="$(win "$world")" CORVID_TEST_JVM_LOG="$(win "$log")"
    CORVID_TEST_SPLASH_LOG="$(win "$log")" CORVID_TRACE="$(win "$trace")" LC_ALL=en_US.UTF-8)

# start_app [ARGS...] starts the app in the background; finish_app waits for
# it and sets APP_STATUS, LOG, TRACE and BOXES (message boxes Wine traced).
start_app() {
    (cd "$app" && env "${run_env[@]}" WINEDEBUG=-all,+msgbox timeout -k 5 "$E2E_TIMEOUT" wine app.exe "$@" \
        >"$E2E_TMP/.app.out" 2>"$E2E_TMP/.app.err" </dev/null) &
    APP_PID=$!
}
finish_app() {
    APP_STATUS=0
    wait "$APP_PID" || APP_STATUS=$?
    LOG=$(cat "$log" 2>/dev/null)
    TRACE=$(cat "$trace" 2>/dev/null)
    BOXES=$(grep -c ':trace:msgbox:MSGBOX_OnInit' "$E2E_TMP/.app.err")
    # A start that left no trace never reached the launcher's code: say how it ended.
    if [[ -z $TRACE ]]; then
        echo "  (app.exe ended with status $APP_STATUS and no trace; its error output: $(head -c 600 "$E2E_TMP/.app.err" | tr '\n' ' '))"
    fi
}
# probe COMMAND [TIMEOUT_MS]: corvid_uidriver's probe mode on app.exe; PROBE_OUT, PROBE_STATUS.
probe() {
    PROBE_STATUS=0
    timeout 30 wine "$CORVID_UIDRIVER" probe "$1" --image app.exe --timeout "${2:-10000}" >"$E2E_TMP/.probe" 2>&1 </dev/null ||
        PROBE_STATUS=$?
    PROBE_OUT=$(tr -d '\r' <"$E2E_TMP/.probe")
}

# pixel_at X Y: the screenshot's colour there as "r,g,b".
pixel_at() {
    convert "$E2E_TMP/shot.png" -format "%[fx:int(255*p{$1,$2}.r+0.5)],%[fx:int(255*p{$1,$2}.g+0.5)],%[fx:int(255*p{$1,$2}.b+0.5)]" info:
}
# check_colour NAME EXPECTED ACTUAL TOLERANCE: each channel within the tolerance.
check_colour() {
    if awk -v e="$2" -v a="$3" -v t="$4" 'BEGIN {
        n = split(e, x, ","); m = split(a, y, ",")
        if (n != 3 || m != 3) exit 1
        for (i = 1; i <= 3; i++) { d = x[i] - y[i]; if (d < -t || d > t) exit 1 }
    }'; then
        pass "$1"
    else
        fail "$1" "expected about $2 (within $4), got $3"
    fi
}
# The window's rectangle from the probe's report.
rect_of() { sed -n 's/.*rect=\([-0-9,]*\).*/\1/p' <<<"$1"; }
field_of() { sed -n "s/.*\\b$1=0x\([0-9A-F]*\).*/\1/p" <<<"$2"; }
has_bits() { (( (16#$1 & $2) == $2 )); }

screen_w=1280
screen_h=1024
left=$(((screen_w - 400) / 2))
top=$(((screen_h - 300) / 2))

# ---- the picture on the screen ---------------------------------------------
while read -r picture shadow tolerance; do
    CASE="$picture, shadow '$shadow'"
    configure "$E2E_TMP/rt" "$(printf '%s\n' "Splash Screen=$picture" "Splash Screen Shadow=$shadow")"
    start_app
    probe window
    check_equal "$CASE: a SplashScreenWindow is shown" 0 "$PROBE_STATUS"
    sleep 0.3  # shown, then painted by the same thread at once
    import -window root -display "$DISPLAY" "$E2E_TMP/shot.png"
    finish_app
    check_equal "$CASE: centred at the picture's size" "$left,$top,400,300" "$(rect_of "$PROBE_OUT")"
    style=$(field_of style "$PROBE_OUT")
    exstyle=$(field_of exstyle "$PROBE_OUT")
    classstyle=$(field_of classstyle "$PROBE_OUT")
    if has_bits "${style:-0}" 0x80000000 && has_bits "${exstyle:-0}" 0x80 && ! has_bits "${exstyle:-0}" 0x8 &&
        ! has_bits "${style:-0}" 0x00C00000; then
        pass "$CASE: popup tool window, no caption, not topmost"
    else
        fail "$CASE: popup tool window, no caption, not topmost" "$PROBE_OUT"
    fi
    if [[ $shadow == true ]]; then
        check "$CASE: class with double clicks, save bits, drop shadow" has_bits "${classstyle:-0}" 0x20808
    else
        check "$CASE: class with double clicks and save bits, no shadow" \
            test "$(( ${classstyle:+16#$classstyle} & 0x20808 ))" = "$((0x808))"
    fi
    check_colour "$CASE: top left quarter green" "$green" "$(pixel_at $((left + 100)) $((top + 75)))" "$tolerance"
    check_colour "$CASE: the rest red" "$red" "$(pixel_at $((left + 300)) $((top + 225)))" "$tolerance"
    check_colour "$CASE: upright (bottom left red)" "$red" "$(pixel_at $((left + 100)) $((top + 225)))" "$tolerance"
    check_colour "$CASE: nothing beside it" "0,0,0" "$(pixel_at $((left - 5)) $((top + 150)))" 0
    check_equal "$CASE: exit code" 0 "$APP_STATUS"
    check_equal "$CASE: no message box" 0 "$BOXES"
done <<'EOF'
splash.bmp true 0
splash.gif True 0
splash.jpg false 12
splash.png - 0
splash.emf - 0
EOF
check_contains "trace: size and position" "$TRACE" "splash: picture loaded, 400x300 pixels at $left,$top"
check_contains "trace: window created" "$TRACE" "splash: window created"
check_contains "trace: first frame" "$TRACE" "splash: first frame painted"
check_contains "trace: window closed" "$TRACE" "splash: window closed"

# ---- pictures that cannot be shown ----------------------------------------------
for picture in missing.bmp empty.bmp corrupt.bmp; do
    CASE="$picture"
    configure "$E2E_TMP/rt" "Splash Screen=$picture"
    start_app
    probe window
    sleep 0.3
    import -window root -display "$DISPLAY" "$E2E_TMP/shot.png"
    finish_app
    check_equal "$CASE: a window of no size at the centre" "$((screen_w / 2)),$((screen_h / 2)),0,0" "$(rect_of "$PROBE_OUT")"
    check_colour "$CASE: nothing on the screen" "0,0,0" "$(pixel_at $((screen_w / 2)) $((screen_h / 2)))" 0
    check_equal "$CASE: no message box" 0 "$BOXES"
    check_equal "$CASE: the program ran" "0 1 main returns" "$APP_STATUS $(grep -c '^main returns' <<<"$LOG") main returns"
done

# ---- the window's life ---------------------------------------------------------------
CASE="message box while the splash is up"
# The JVM takes a while to start, so the splash window exists when the box
# about the missing main method comes.
configure "$E2E_TMP/rt" "Splash Screen=splash.bmp" "$(printf '%s\n' "create-delay 1500" "lookup-exceptions no" "class app/Main")"
start_app
probe owner 15000
finish_app
check_equal "$CASE: owned by the splash window" "owner=SplashScreenWindow" "$PROBE_OUT"
check_equal "$CASE: exit code -1" 255 "$APP_STATUS"

CASE="main returns while a thread lingers"
configure "$E2E_TMP/rt" "Splash Screen=splash.bmp" "class app/Main main=sleep:1000,linger:4000"
start_app
probe window
check_equal "$CASE: shown while main runs" 0 "$PROBE_STATUS"
# Wait for main's end, then the window must go while the process still waits.
for _ in $(seq 1 200); do grep -q '^main returns' "$log" 2>/dev/null && break; sleep 0.02; done
probe gone 1500
gone_status=$PROBE_STATUS
lingering_done=$(grep -c '^lingering thread ends' "$log")
finish_app
check_equal "$CASE: gone once main has returned" 0 "$gone_status"
check_equal "$CASE: ...while the program's thread still ran" 0 "$lingering_done"
check_equal "$CASE: the process waited for it" 1 "$(grep -c '^lingering thread ends' <<<"$LOG")"

CASE="uncaught exception"
configure "$E2E_TMP/rt" "$(printf '%s\n' "Splash Screen=splash.bmp" "[Application]" "Failure Check=Yes")" \
    "class app/Main main=sleep:500,throw"
start_app
probe window
finish_app
closed=$(grep -n 'splash: window closed' <<<"$TRACE" | cut -d: -f1)
reported=$(grep -n 'uncaught exception:' <<<"$TRACE" | cut -d: -f1)
if [[ -n $closed && -n $reported && $closed -lt $reported ]]; then
    pass "$CASE: the splash closes before the exception is reported"
else
    fail "$CASE: the splash closes before the exception is reported" "closed at trace line '$closed', reported at '$reported'"
fi

# ---- switches ------------------------------------------------------------------------
while read -r switch shown; do
    configure "$E2E_TMP/rt" "Splash Screen=splash.bmp"
    start_app "$switch"
    probe window 1200
    finish_app
    check_equal "$switch: $([[ $shown == 0 ]] && echo shown || echo no splash)" "$shown" "$PROBE_STATUS"
done <<'EOF'
-nosplash 1
/nosplash 1
-NOSPLASH 0
EOF

# ---- the runtime's splash library ------------------------------------------------------
# The picture's name has a character outside ASCII; the library gets it in the
# ANSI code page (1252 here), as configured, without a folder.
cp "$app/splash.bmp" "$app/splash$(printf '\xe9').bmp"
picture_1252="splash$(printf '\xe9').bmp"
splash_lines() { grep -E '^(Splash|JNI_CreateJavaVM thread|DestroyJavaVM thread|main )' <<<"$LOG" | sed 's/ thread=[0-9]*.*//'; }

CASE="runtime library, preferred"
configure "$E2E_TMP/rt-splash" "$(printf '%s\n' "Splash Screen=$picture_1252" "Preffer Native Splash Screen=yes")" \
    "class app/Main main=return"
start_app
finish_app
check_equal "$CASE: calls in order, no SplashClose after the JVM ran" \
    "$(printf '%s\n' SplashInit 'SplashLoadFile splash\xE9.bmp' 'SplashSetFileJarName splash\xE9.bmp []' \
        JNI_CreateJavaVM main 'main returns' DestroyJavaVM)" "$(splash_lines)"
check_contains "$CASE: traced" "$TRACE" "splash: the runtime's library shows"
check_not_contains "$CASE: no window of its own" "$TRACE" "window created"
check_equal "$CASE: exit code" 0 "$APP_STATUS"

CASE="runtime library, Java thread fails"
configure "$E2E_TMP/rt-splash" "$(printf '%s\n' "Splash Screen=splash.bmp" "Preffer Native Splash Screen=YES")" "class app/Main"
start_app
finish_app
check_equal "$CASE: SplashClose once, when the run fails, before teardown" \
    "$(printf '%s\n' SplashInit 'SplashLoadFile splash.bmp' 'SplashSetFileJarName splash.bmp []' JNI_CreateJavaVM \
        SplashClose DestroyJavaVM)" "$(splash_lines)"
check_equal "$CASE: exit code -1" 255 "$APP_STATUS"

CASE="runtime library, not preferred"
configure "$E2E_TMP/rt-splash" "$(printf '%s\n' "Splash Screen=splash.bmp" "Preffer Native Splash Screen=Yess")" \
    "class app/Main main=return"
start_app
finish_app
check_equal "$CASE: never loaded" "" "$(grep '^Splash' <<<"$LOG")"
check_contains "$CASE: the launcher's window instead" "$TRACE" "splash: window created"

CASE="runtime library without SplashInit"
configure "$E2E_TMP/rt-no-init" "$(printf '%s\n' "Splash Screen=splash.bmp" "Preffer Native Splash Screen=Yes")"
start_app
probe window
finish_app
check_equal "$CASE: the launcher's window instead" 0 "$PROBE_STATUS"
check_equal "$CASE: no entry of the library called, also not after the JVM ran" \
    "$(printf '%s\n' JNI_CreateJavaVM main 'main returns' DestroyJavaVM)" \
    "$(splash_lines | grep -v slept)"

# ---- a screen of 144 dpi ------------------------------------------------------------------
timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
CASE="144 dpi, metafile"
configure "$E2E_TMP/rt" "Splash Screen=splash.emf"
start_app
probe window
sleep 0.3
import -window root -display "$DISPLAY" "$E2E_TMP/shot.png"
finish_app
left=$(((screen_w - 600) / 2))
top=$(((screen_h - 450) / 2))
check_equal "$CASE: the window is 1.5 times as large, centred" "$left,$top,600,450" "$(rect_of "$PROBE_OUT")"
check_contains "$CASE: traced" "$TRACE" "HIMETRIC at 144x144 dpi"
# Wine plays the metafile's inner rectangles back at its own scale; the
# picture's corners show that it fills the larger window.
check_colour "$CASE: top left corner green" "$green" "$(pixel_at $((left + 5)) $((top + 5)))" 0
check_colour "$CASE: bottom right corner red" "$red" "$(pixel_at $((left + 595)) $((top + 445)))" 0

# The OLE loader measures a bitmap in the screen's own pixels, so it keeps
# its pixel size at any dpi.
CASE="144 dpi, bitmap"
configure "$E2E_TMP/rt" "Splash Screen=splash.bmp"
start_app
probe window
finish_app
check_equal "$CASE: its pixel size" "$(((screen_w - 400) / 2)),$(((screen_h - 300) / 2)),400,300" "$(rect_of "$PROBE_OUT")"
