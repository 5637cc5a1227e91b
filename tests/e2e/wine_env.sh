# Sets up, and tears down, what Windows programs need to run under Wine in the
# tests: a prepared prefix, one persistent wineserver, and a virtual X display.
#
#   source tests/e2e/wine_env.sh
#   wine_env_start DIR   prepares everything under DIR (created) and exports
#                        WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, DISPLAY,
#                        XAUTHORITY, CORVID_WINE_TEMPLATE and CORVID_WINE_ENV
#                        (a file that later shells source to use the same set-up)
#   wine_env_stop        stops the wineserver and Xvfb, removes DIR
#
# Booting a prefix takes about 9 s, so it is done once: DIR/template stays as
# booted (suites may take private copies of it), DIR/prefix is the shared one.
# With the server kept running ("wineserver -p") a Wine program starts in
# about 30 ms instead of 3 s. A display is needed even for message boxes that
# nobody sees: without one MessageBoxW fails at once and nothing is traced.

_WINE_ENV_DIR=""
_WINE_ENV_XVFB=""

_wine_env_log() { echo "wine-env: $*" >&2; }

# Starts Xvfb on the first free display from :90 on, with its own cookie.
_wine_env_start_xvfb() {
    export XAUTHORITY=$_WINE_ENV_DIR/xauthority
    : >"$XAUTHORITY"
    local number
    for number in $(seq 90 140); do
        [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]] && continue
        xauth -f "$XAUTHORITY" add ":$number" . "$(mcookie)"
        Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp -auth "$XAUTHORITY" \
            >"$_WINE_ENV_DIR/xvfb.log" 2>&1 </dev/null &
        _WINE_ENV_XVFB=$!
        local tries
        for tries in $(seq 1 100); do
            if DISPLAY=:$number xdpyinfo >/dev/null 2>&1; then
                export DISPLAY=:$number
                return 0
            fi
            kill -0 "$_WINE_ENV_XVFB" 2>/dev/null || break
            sleep 0.05
        done
        # Lost a race for the display number, or Xvfb failed: try the next one.
        kill "$_WINE_ENV_XVFB" 2>/dev/null
        wait "$_WINE_ENV_XVFB" 2>/dev/null
        _WINE_ENV_XVFB=""
    done
    _wine_env_log "could not start Xvfb (see $_WINE_ENV_DIR/xvfb.log)"
    return 1
}

# Copies a prefix in a fraction of a second: the 600 MB of program images are
# hard links (Wine never writes them), every other file (registry, win.ini,
# ...) a copy of its own, since Wine rewrites those.
wine_copy_prefix() {
    local source=$1 target=$2 file
    cp -al "$source" "$target" || return 1
    while IFS= read -r -d '' file; do
        cp --remove-destination -p "$source/${file#"$target"/}" "$file" || return 1
    done < <(find "$target" -type f ! -iname '*.dll' ! -iname '*.exe' ! -iname '*.drv' ! -iname '*.sys' \
        ! -iname '*.ocx' ! -iname '*.cpl' ! -iname '*.acm' ! -iname '*.ax' ! -iname '*.tlb' ! -iname '*.ds' \
        ! -iname '*.nls' -print0)
}

wine_env_start() {
    _WINE_ENV_DIR=$1
    mkdir -p "$_WINE_ENV_DIR"
    local tool
    for tool in wine wineserver wineboot Xvfb xauth xdpyinfo mcookie; do
        if ! command -v "$tool" >/dev/null; then
            _wine_env_log "$tool is not installed"
            return 1
        fi
    done
    export WINEDEBUG=-all
    # No Mono or Gecko install prompts while booting the prefix.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    _wine_env_start_xvfb || return 1

    export CORVID_WINE_TEMPLATE=$_WINE_ENV_DIR/template
    export WINEPREFIX=$CORVID_WINE_TEMPLATE
    if ! timeout 300 wineboot -i >"$_WINE_ENV_DIR/wineboot.log" 2>&1 </dev/null; then
        _wine_env_log "wineboot failed (see $_WINE_ENV_DIR/wineboot.log)"
        return 1
    fi
    # Xvfb runs no window manager, and Wine waits two seconds for one to
    # acknowledge every managed window that hides, such as a closing message
    # box. Unmanaged windows close at once.
    timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$_WINE_ENV_DIR/wineboot.log" 2>&1
    # Stopping the server writes the registry out, so the template is complete.
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null

    export WINEPREFIX=$_WINE_ENV_DIR/prefix
    wine_copy_prefix "$CORVID_WINE_TEMPLATE" "$WINEPREFIX"
    wineserver -p >/dev/null 2>&1 </dev/null
    # The first program in a prefix starts Wine's services (services.exe,
    # winedevice.exe, rpcss.exe, ...), which live as long as the server and
    # inherit that program's standard handles. Started here they hold
    # /dev/null, not the pipe of a ctest that would then wait for them.
    timeout 60 wine cmd /c exit 0 >/dev/null 2>&1 </dev/null

    export CORVID_WINE_ENV=$_WINE_ENV_DIR/env.sh
    {
        local name
        for name in WINEPREFIX WINEDEBUG WINEDLLOVERRIDES DISPLAY XAUTHORITY CORVID_WINE_TEMPLATE CORVID_WINE_ENV; do
            printf 'export %s=%q\n' "$name" "${!name}"
        done
    } >"$CORVID_WINE_ENV"
}

wine_env_stop() {
    [[ -n $_WINE_ENV_DIR ]] || return 0
    if [[ -d $_WINE_ENV_DIR/prefix ]]; then
        WINEPREFIX=$_WINE_ENV_DIR/prefix wineserver -k 2>/dev/null
        WINEPREFIX=$_WINE_ENV_DIR/prefix wineserver -w 2>/dev/null
    fi
    if [[ -n $_WINE_ENV_XVFB ]]; then
        kill "$_WINE_ENV_XVFB" 2>/dev/null
        wait "$_WINE_ENV_XVFB" 2>/dev/null
    fi
    rm -rf "$_WINE_ENV_DIR"
    _WINE_ENV_DIR=""
    _WINE_ENV_XVFB=""
    unset CORVID_WINE_ENV
}
