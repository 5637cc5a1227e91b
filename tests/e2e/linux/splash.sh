# The Java runtime's own splash screen, shown through the Linux launcher by
# the system's OpenJDK 17 (lib/libsplashscreen.so) on an X display of the
# suite's own: the picture on the screen while main runs, what
# java.awt.SplashScreen sees and closing it from Java, the close at
# teardown, and runtimes and pictures that give no splash.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

jdk=/usr/lib/jvm/java-17-openjdk-amd64
classes=$CORVID_BUILD_DIR/tests/java/classes
if [[ ! -f $jdk/lib/libsplashscreen.so || ! -f $classes/corvid/probe/Splash.class ]]; then
    fail "prerequisites" "needs $jdk with lib/libsplashscreen.so (openjdk-17-jre) and the probe classes in $classes"
    exit 1
fi
for tool in Xvfb xauth xdpyinfo xwininfo mcookie convert import; do
    command -v "$tool" >/dev/null || { fail "prerequisites" "$tool is not installed"; exit 1; }
done

# A display of the suite's own, started as the Wine set-up starts its own.
_WINE_ENV_DIR=$E2E_TMP/x
mkdir -p "$_WINE_ENV_DIR"
_wine_env_start_xvfb || { fail "prerequisites" "could not start Xvfb"; exit 1; }
stop_display() {
    local status=$?
    kill "$_WINE_ENV_XVFB" 2>/dev/null
    wait "$_WINE_ENV_XVFB" 2>/dev/null
    return $status
}
trap 'stop_display; _e2e_finish' EXIT

app=$E2E_TMP/app.bin
install_launcher "$app"
trace=$E2E_TMP/trace.txt
seen=$E2E_TMP/seen.txt

green="32,160,64"
red="192,48,32"
convert -size 400x300 "xc:rgb($red)" -fill "rgb($green)" -draw "rectangle 0,0 199,149" "$E2E_TMP/splash.png"
printf 'not a picture\n' >"$E2E_TMP/corrupt.png"

# A runtime folder without the splash library: the JDK's own files, linked.
bare=$E2E_TMP/bare-rt
mkdir -p "$bare/lib/server"
ln -s "$jdk/lib/server/libjvm.so" "$bare/lib/server/libjvm.so"
ln -s "$jdk/lib/libjava.so" "$bare/lib/libjava.so"

# configure RUNTIME PICTURE [EXTRA]: runs corvid.probe.Splash.
configure() {
    write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
Main Class=corvid.probe.Splash
JRE Path=$1
[Class Path]
Class Path=$classes
[Display]
Splash Screen=$2
${3:-}
"
    rm -f "$trace" "$seen"
}

# start_app ARGS...: in the background from the suite's folder (the picture
# path is relative); finish_app sets APP_STATUS, APP_OUT, TRACE.
start_app() {
    (cd "$E2E_TMP" && CORVID_TRACE="$trace" timeout -k 5 "$E2E_TIMEOUT" "$app" "$@" \
        >"$E2E_TMP/.app.out" 2>&1 </dev/null) &
    APP_PID=$!
}
finish_app() {
    APP_STATUS=0
    wait "$APP_PID" || APP_STATUS=$?
    APP_OUT=$(cat "$E2E_TMP/.app.out")
    TRACE=$(cat "$trace" 2>/dev/null)
}
# Waits until the probe has written what it saw; then its main still runs.
wait_seen() {
    local _
    for _ in $(seq 1 300); do
        [[ -s $seen ]] && return 0
        sleep 0.05
    done
    return 1
}
screenshot() { import -window root -display "$DISPLAY" "$E2E_TMP/shot.png"; }
pixel_at() {
    convert "$E2E_TMP/shot.png" -format "%[fx:int(255*p{$1,$2}.r+0.5)],%[fx:int(255*p{$1,$2}.g+0.5)],%[fx:int(255*p{$1,$2}.b+0.5)]" info:
}
top_level_windows() { xwininfo -root -children -display "$DISPLAY" | sed -n 's/^ *\([0-9]*\) child.*/\1/p'; }

left=$(((1280 - 400) / 2))
top=$(((1024 - 300) / 2))

CASE="picture while main runs"
configure "$jdk" splash.png
start_app "$seen" 1500
wait_seen
screenshot
windows_while_up=$(top_level_windows)
finish_app
check_equal "$CASE: one window on the display" 1 "$windows_while_up"
check_equal "$CASE: java.awt.SplashScreen sees it" "splash 400x300 visible" "$(cat "$seen")"
check_equal "$CASE: top left quarter green" "$green" "$(pixel_at $((left + 100)) $((top + 75)))"
check_equal "$CASE: the rest red" "$red" "$(pixel_at $((left + 300)) $((top + 225)))"
check_equal "$CASE: centred" "0,0,0" "$(pixel_at $((left - 3)) $((top + 150)))"
check_equal "$CASE: exit code" 0 "$APP_STATUS"
check_contains "$CASE: the library is used" "$TRACE" "splash: the runtime's library shows splash.png"
destroyed=$(grep -n 'DestroyJavaVM returned' <<<"$TRACE" | cut -d: -f1)
left=$(grep -n "the runtime's splash is left to the JVM that ran" <<<"$TRACE" | cut -d: -f1)
if [[ -n $destroyed && -n $left && $destroyed -lt $left ]] && ! grep -q "closing the runtime's splash" <<<"$TRACE"; then
    pass "$CASE: left to the JVM, never closed after it"
else
    fail "$CASE: left to the JVM, never closed after it" "DestroyJavaVM at trace line '$destroyed', left at '$left'"
fi

CASE="closed from Java"
configure "$jdk" splash.png
start_app "$seen" 1500 close
wait_seen
sleep 0.2
screenshot
finish_app
check_equal "$CASE: the probe closed it" "splash 400x300 visible, closed" "$(cat "$seen")"
check_equal "$CASE: gone from the screen while main runs" "0,0,0" "$(pixel_at $((left + 100)) $((top + 75)))"
check_equal "$CASE: no second close at teardown" "0 " \
    "$APP_STATUS $(grep -o "closing the runtime's splash" <<<"$TRACE" | cut -d' ' -f1)"

CASE="runtime without the library"
configure "$bare" splash.png
start_app "$seen" 0
finish_app
check_equal "$CASE: no splash" "no splash" "$(cat "$seen" 2>/dev/null)"
check_equal "$CASE: the program runs" "0 no splash" "$APP_STATUS $APP_OUT"
check_contains "$CASE: traced" "$TRACE" "splash: no runtime library at $bare/lib/libsplashscreen.so"

CASE="preference not Yes"
configure "$jdk" splash.png "Preffer Native Splash Screen=No"
start_app "$seen" 0
finish_app
check_equal "$CASE: the library is all there is, so it is used" "splash 400x300 visible" "$(cat "$seen" 2>/dev/null)"

for picture in corrupt.png missing.png; do
    CASE="$picture"
    configure "$jdk" "$picture"
    start_app "$seen" 300
    wait_seen
    screenshot
    finish_app
    check_equal "$CASE: nothing on the screen" "0,0,0" "$(pixel_at 640 512)"
    check_equal "$CASE: the program runs" 0 "$APP_STATUS"
done

CASE="-nosplash"
configure "$jdk" splash.png
start_app "$seen" 0 -nosplash
finish_app
check_equal "$CASE: no splash" "no splash" "$(cat "$seen" 2>/dev/null)"
