# The Linux package's GETTING-STARTED.txt followed as a new user follows it:
# the package as CMake installs it, the Windows package unpacked beside it
# (a small executable stands in for its corvid.exe), the user's jar, icon
# and certificate in the package's folder, and each command of the text run
# there by bash as it stands. Every command either runs and succeeds or is
# named below with the reason it cannot.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

jdk17=/usr/lib/jvm/java-17-openjdk-amd64
stand_in=$(dirname "${BASH_SOURCE[0]}")/../../fuzz/corpus/brand_files/tiny.exe
for tool in "$jdk17/bin/javac" convert osslsigncode openssl script x86_64-w64-mingw32-objdump; do
    command -v "$tool" >/dev/null || {
        fail "needs $tool" "tools/setup.sh installs it"
        exit 1
    }
done

install=$E2E_TMP/install
cmake --install "$CORVID_BUILD_DIR" --prefix "$install" >/dev/null
require_files "$install/GETTING-STARTED.txt"
# The folders as the two packages unpack.
version=$(sed -n 's/^This package, corvid-\(.*\)-linux-x64\.tar\.gz, holds:$/\1/p' "$install/GETTING-STARTED.txt")
pkg=$E2E_TMP/corvid-$version-linux-x64
mv "$install" "$pkg"
text=$pkg/GETTING-STARTED.txt
mkdir -p "$E2E_TMP/corvid-$version-windows-x64"
cp "$stand_in" "$E2E_TMP/corvid-$version-windows-x64/corvid.exe"
original=$(sha256sum <"$E2E_TMP/corvid-$version-windows-x64/corvid.exe")

listed=$(sed -n 's/^\([a-z.-]\+\)  .*/\1/p' "$text" | sort)
check_equal "the text lists the package's files" "$(cd "$pkg" && printf '%s\n' * | grep -v GETTING-STARTED | sort)" "$listed"
check_contains "the text says where corvid-brand.exe is" "$(cat "$text")" \
    "corvid-brand.exe are in
the Windows package, corvid-$version-windows-x64.zip"

# The user's files.
mkdir -p "$E2E_TMP/src/org/example/myapp"
write_file "$E2E_TMP/src/org/example/myapp/Main.java" 'package org.example.myapp;
public class Main {
    public static void main(String[] args) { System.out.println("MyApp runs on " + System.getProperty("java.version")); }
}'
"$jdk17/bin/javac" -d "$E2E_TMP/classes" "$E2E_TMP/src/org/example/myapp/Main.java"
"$jdk17/bin/jar" cf "$pkg/myapp.jar" -C "$E2E_TMP/classes" .
convert -size 64x64 xc:'#2a9d8f' -define icon:auto-resize=256,48,32,16 "$pkg/myapp.ico"
openssl req -x509 -newkey rsa:2048 -keyout "$E2E_TMP/key.pem" -out "$E2E_TMP/cert.pem" -days 2 -subj "/CN=MyApp test" \
    -passout pass:secret >/dev/null 2>&1
openssl pkcs12 -export -in "$E2E_TMP/cert.pem" -inkey "$E2E_TMP/key.pem" -passin pass:secret -passout pass:secret \
    -out "$pkg/mycert.pfx"

# The commands: the lines indented by seven blanks, with the lines that
# follow one ending in a backslash.
commands=()
while IFS= read -r -d '' command; do commands+=("$command"); done < <(perl -ne '
    if ($open) { $c .= $_; $open = /\\$/; print "$c\0" unless $open; next }
    next unless /^ {7}\S/;
    s/^ {7}//; $c = $_; $open = /\\$/; print "$c\0" unless $open' "$text")
joined() { perl -0pe 's/ \\\n\s*/ /g; s/\n$//' <<<"$1"; }

ran=0
skipped=()
skipping=0
for command in "${commands[@]}"; do
    line=$(joined "$command")
    after_skipped=$skipping
    skipping=0
    case $line in
    osslsigncode\ *-ts\ *)
        # No timestamp server can be reached from here; the text's offline
        # command is the same without it.
        offline=$(sed 's/ -ts [^ ]*//' <<<"$line")
        found=0
        for other in "${commands[@]}"; do [[ $(joined "$other") == "$offline" ]] && found=1; done
        check_equal "osslsigncode with a timestamp: the offline command plus -ts" 1 "$found"
        skipped+=("$line")
        skipping=1
        continue
        ;;
    mv\ *-signed.exe\ *)
        if ((after_skipped)); then
            skipped+=("$line")
            continue
        fi
        ;;
    MyApp/MyApp)
        # The user's edit before trying it.
        sed -i 's/^Main Class=.*/Main Class=org.example.myapp.Main/; s|^Class Path=.*|Class Path=lib/myapp.jar|' \
            "$pkg/MyApp/MyApp.ini"
        ;;
    esac
    if [[ $line == osslsigncode\ * ]]; then
        # -askpass reads the password from the terminal: one is typed there.
        run_captured bash -c 'cd "$1" && exec script -qec "$2" /dev/null <<<secret' - "$pkg" "$command"
    else
        run_captured bash -c 'cd "$1" && eval "$2"' - "$pkg" "$command"
    fi
    check_equal "$line: exit code" 0 "$RUN_STATUS"
    ran=$((ran + 1))
    case $line in
    MyApp/MyApp) check_contains "MyApp runs the main class" "$RUN_STDOUT" "MyApp runs on " ;;
    cp\ sample.ini\ MyApp-windows/MyApp.ini) sed -i 's/^Main Class=.*/Main Class=org.example.myapp.Main/' "$pkg/MyApp-windows/MyApp.ini" ;;
    esac
done
check_equal "commands run" 11 "$ran"
check_equal "commands that need what is not here" 2 "${#skipped[@]}"

headers=$(x86_64-w64-mingw32-objdump -p "$pkg/MyApp-windows/MyApp.exe" 2>&1)
check_contains "MyApp.exe: a branded executable" "$headers" "Resource Directory [.rsrc]"
check "MyApp.exe: the product name" perl -0777 -ne 'exit(index($_, "M\0y\0 \0A\0p\0p\0") < 0)' "$pkg/MyApp-windows/MyApp.exe"
run_captured osslsigncode verify -CAfile "$E2E_TMP/cert.pem" -in "$pkg/MyApp-windows/MyApp.exe"
check_contains "MyApp.exe: signed in place" "$RUN_STDOUT" "Signature verification: ok"
check_equal "the signed copy took its place" "MyApp.exe MyApp.ini lib" "$(cd "$pkg/MyApp-windows" 2>/dev/null && echo *)"
check_equal "the Windows package's corvid.exe is unchanged" "$original" \
    "$(sha256sum <"$E2E_TMP/corvid-$version-windows-x64/corvid.exe")"
