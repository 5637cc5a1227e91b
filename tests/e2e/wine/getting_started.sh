# The Windows package's GETTING-STARTED.txt followed as a new user follows
# it: the package as CMake installs it, the user's jar, icon and certificate
# put beside it, a Java 17 unpacked with JAVA_HOME naming it (the test JVM), and
# each command of the text pasted into cmd in the package's folder (written
# to cmd's standard input, as typed: ^ lines and all). Every command either
# runs and succeeds there or is named below with the reason it cannot.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

test_jvm=$CORVID_BUILD_DIR/tests/support/test_jvm/corvid_test_jvm.dll
require_files "$test_jvm" "$CORVID_BUILD_DIR/src/corvid-brand.exe"
for tool in convert osslsigncode openssl; do
    command -v "$tool" >/dev/null || {
        fail "needs $tool" "tools/setup.sh installs it"
        exit 1
    }
done

pkg=$E2E_TMP/package
cmake --install "$CORVID_BUILD_DIR" --prefix "$pkg" >/dev/null
text=$pkg/GETTING-STARTED.txt
require_files "$text"
check "the text has Windows line ends" grep -q $'\r$' "$text"

# What the text says the package holds is what it holds.
listed=$(sed -n 's/^\([a-z-]*\.\(exe\|ini\)\)  .*/\1/p' "$text" | sort)
check_equal "the text lists the package's programs" "$(cd "$pkg" && ls ./*.exe ./*.ini | sed 's|^\./||' | sort)" "$listed"
check_contains "the text names the Linux package" "$(tr -d '\r' <"$text")" "-linux-x64.tar.gz, holds the
Linux launcher and a Linux corvid-brand"

# The user's files, and Java.
printf 'PK\005\006%018d' 0 >"$pkg/myapp.jar"
convert -size 64x64 xc:'#2a9d8f' -define icon:auto-resize=256,48,32,16 "$pkg/myapp.ico"
openssl req -x509 -newkey rsa:2048 -keyout "$E2E_TMP/key.pem" -out "$E2E_TMP/cert.pem" -days 2 -subj "/CN=MyApp test" \
    -passout pass:secret >/dev/null 2>&1
openssl pkcs12 -export -in "$E2E_TMP/cert.pem" -inkey "$E2E_TMP/key.pem" -passin pass:secret -passout pass:secret \
    -out "$pkg/mycert.pfx"
jdk=$E2E_TMP/jdk-17.0.2
mkdir -p "$jdk/bin/server"
cp "$test_jvm" "$jdk/bin/server/jvm.dll"
printf 'JAVA_VERSION="17.0.2"\n' >"$jdk/release"
JAVA_HOME=$(win "$jdk")
export JAVA_HOME
write_file "$E2E_TMP/world.txt" "class org/example/myapp/Main main=print"
CORVID_TEST_JVM_WORLD=$(win "$E2E_TMP/world.txt")
CORVID_TEST_JVM_LOG=$(win "$E2E_TMP/jvm.log")
export CORVID_TEST_JVM_WORLD CORVID_TEST_JVM_LOG
original=$(sha256sum <"$pkg/corvid.exe")

# The commands: the lines indented by seven blanks, with the lines that
# follow one ending in ^. Each is kept with its line ends.
commands=()
while IFS= read -r -d '' command; do commands+=("$command"); done < <(perl -ne '
    if ($open) { $c .= $_; $open = /\^\r?$/; print "$c\0" unless $open; next }
    next unless /^ {7}\S/;
    s/^ {7}//; $c = $_; $open = /\^\r?$/; print "$c\0" unless $open' "$text")
# One line: the command as cmd joins it.
joined() { perl -0pe 's/ \^\r?\n\s*/ /g; s/\r?\n$//' <<<"$1"; }

# Commands typed into one cmd window, until the user does something else.
typed=()
# type_into_cmd: cmd reads the commands typed so far in the package's
# folder; each must leave ERRORLEVEL 0.
type_into_cmd() {
    ((${#typed[@]})) || return 0
    local i command status
    : >"$E2E_TMP/typed.txt"
    for i in "${!typed[@]}"; do
        command=${typed[i]%$'\n'}
        printf '%s\r\necho ::%d %%ERRORLEVEL%%\r\n' "${command%$'\r'}" "$i" >>"$E2E_TMP/typed.txt"
    done
    (cd "$pkg" && timeout -k 5 "$E2E_TIMEOUT" wine cmd <"$E2E_TMP/typed.txt" >"$E2E_TMP/cmd.out" 2>&1)
    for i in "${!typed[@]}"; do
        status=$(tr -d '\r' <"$E2E_TMP/cmd.out" | sed -n "s/.*::$i \([0-9-]*\)$/\1/p")
        check_equal "$(joined "${typed[i]}"): ERRORLEVEL" 0 "$status"
        if [[ $(joined "${typed[i]}") == 'MyApp\MyApp.exe' ]]; then
            # cmd does not wait for a windowed program; the user does.
            for _ in $(seq 1 100); do
                grep -q '^DestroyJavaVM returns' "$E2E_TMP/jvm.log" 2>/dev/null && break
                sleep 0.1
            done
            check_contains "MyApp runs the main class" "$(cat "$E2E_TMP/jvm.log" 2>/dev/null)" $'\nmain thread='
            check_contains "MyApp's class path is the jar of step 1" "$(cat "$E2E_TMP/jvm.log" 2>/dev/null)" \
                $'\noption -Djava.class.path=lib\\myapp.jar\n'
        fi
    done
    ran=$((ran + ${#typed[@]}))
    typed=()
}

ran=0
skipped=()
skipping=0
for command in "${commands[@]}"; do
    line=$(joined "$command")
    # Whether the command before this one could not run here.
    after_skipped=$skipping
    skipping=0
    case $line in
    notepad\ *)
        # The user's edit: the main class.
        type_into_cmd
        check_equal "notepad opens the configuration" 'notepad MyApp\MyApp.ini' "$line"
        sed -i 's/^Main Class=.*\r$/Main Class=org.example.myapp.Main\r/' "$pkg/MyApp/MyApp.ini"
        ;;
    signtool\ *)
        # The Windows SDK is not here.
        check_contains "signtool signs MyApp.exe in place" "$line" ' MyApp\MyApp.exe'
        skipped+=("$line")
        skipping=1
        ;;
    osslsigncode\ *-ts\ *)
        # No timestamp server can be reached from here; the text's offline
        # command is the same without it.
        offline=$(sed 's/ -ts [^ ]*//' <<<"$line")
        found=0
        for other in "${commands[@]}"; do [[ $(joined "$other") == "$offline" ]] && found=1; done
        check_equal "osslsigncode with a timestamp: the offline command plus -ts" 1 "$found"
        skipped+=("$line")
        skipping=1
        ;;
    osslsigncode\ *)
        # Wine starts a Unix program without waiting for it, so the Linux
        # osslsigncode runs beside cmd, with the same options and the paths'
        # backslashes turned; the password is what the user types at
        # -askpass's prompt.
        type_into_cmd
        read -r -a words <<<"${line//\\//}"
        arguments=()
        for word in "${words[@]}"; do
            if [[ $word == -askpass ]]; then arguments+=(-pass secret); else arguments+=("$word"); fi
        done
        run_captured bash -c 'cd "$1" && shift && exec "$@"' - "$pkg" "${arguments[@]}"
        check_equal "$line: exit code" 0 "$RUN_STATUS"
        ran=$((ran + 1))
        ;;
    move\ *)
        # Puts a signed copy in place: skipped with the signing before it.
        if ((after_skipped)); then
            skipped+=("$line")
        else
            typed+=("$command")
        fi
        ;;
    'copy corvid.exe MyApp\MyApp.exe')
        # The other way of step 2: tried at the end.
        unbranded=$command
        ;;
    *)
        typed+=("$command")
        ;;
    esac
done
type_into_cmd
check_equal "commands run" 7 "$ran"
check_equal "commands that need what is not here" 4 "${#skipped[@]}"

wine_run "$CORVID_UIDRIVER" resources "$(win "$pkg/MyApp/MyApp.exe")"
check_contains "MyApp.exe: the names" "$RUN_STDOUT" $'string ProductName My App\n'
check_contains "MyApp.exe: the versions" "$RUN_STDOUT" $'fixed 1.4.0.17 1.4.0.0\n'
check_contains "MyApp.exe: the icon" "$RUN_STDOUT" $'large 32x32 2a9d8f\n'
run_captured osslsigncode verify -CAfile "$E2E_TMP/cert.pem" -in "$pkg/MyApp/MyApp.exe"
check_contains "MyApp.exe: signed in place" "$RUN_STDOUT" "Signature verification: ok"
check_equal "the signed copy took its place" "MyApp.exe MyApp.ini lib" "$(cd "$pkg/MyApp" 2>/dev/null && echo *)"
check_equal "corvid.exe is unchanged" "$original" "$(sha256sum <"$pkg/corvid.exe")"

# The other way of step 2, where step 2 was not done.
rm -f "$pkg/MyApp/MyApp.exe"
typed=("${unbranded:-}")
type_into_cmd
check_equal "the launcher copied as it is" "$original" "$(sha256sum <"$pkg/MyApp/MyApp.exe")"
