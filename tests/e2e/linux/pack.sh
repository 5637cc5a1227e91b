# corvid-pack on Linux: a Linux image of a real program with a runtime made
# by jlink from OpenJDK 17 runs from any current directory, as a folder and
# unpacked from its tar.gz (execute bits and times kept); a Windows zip made
# here holds the branded launcher under relative names with the files'
# times; bad input is refused with one line and the right exit code, and
# leaves nothing behind.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

pack=$CORVID_BUILD_DIR/src/corvid-pack
jdk=/usr/lib/jvm/java-17-openjdk-amd64
tiny_exe=$(dirname "${BASH_SOURCE[0]}")/../../fuzz/corpus/brand_files/tiny.exe
require_files "$pack" "$CORVID_LAUNCHER" "$jdk/bin/jlink" "$jdk/bin/javac" "$jdk/bin/jar" "$tiny_exe"
for tool in unzip tar convert; do
    if ! command -v "$tool" >/dev/null; then
        fail "needs $tool" "tools/setup.sh installs it"
        exit 1
    fi
done

# The launchers as the Linux package lays them out, the Windows one played by
# a small executable that corvid-brand takes.
launchers=$E2E_TMP/launchers
mkdir -p "$launchers"
cp "$CORVID_LAUNCHER" "$launchers/corvid"
cp "$tiny_exe" "$launchers/corvid.exe"

# A program that tells where it runs and reads a resource from its jar.
input=$E2E_TMP/input
write_file "$E2E_TMP/src/demo/Main.java" 'package demo;
public class Main {
    public static void main(String[] args) throws Exception {
        System.out.println("cwd=" + System.getProperty("user.dir"));
        System.out.println("home=" + System.getProperty("java.home"));
        System.out.println("option=" + System.getProperty("demo.option"));
        try (var in = Main.class.getResourceAsStream("/demo/greeting.txt")) {
            System.out.println("resource=" + new String(in.readAllBytes()).trim());
        }
        System.out.println("args=" + String.join("|", args));
    }
}
'
write_file "$E2E_TMP/classes/demo/greeting.txt" "hello from the jar"
mkdir -p "$input/lib"
"$jdk/bin/javac" --release 17 -d "$E2E_TMP/classes" "$E2E_TMP/src/demo/Main.java"
"$jdk/bin/jar" --create --file "$input/demo.jar" --main-class demo.Main -C "$E2E_TMP/classes" .
write_file "$input/lib/notes.txt" "kept"
touch -d '2021-03-04 05:06:07' "$input/demo.jar" "$input/lib/notes.txt"

runtime=$E2E_TMP/runtime
run_captured "$jdk/bin/jlink" --add-modules java.base --strip-debug --no-header-files --no-man-pages --output "$runtime"
check_equal "jlink: a runtime of java.base" 0 "$RUN_STATUS"

# expect_program OUTPUT IMAGE: what the program printed, run from elsewhere.
expect_program() {
    check_equal "$3: runs" 0 "$RUN_STATUS"
    check_equal "$3: what it prints" "cwd=$E2E_TMP/elsewhere
home=$2/jre64
option=set
resource=hello from the jar
args=a|b c
" "$1"
}
mkdir -p "$E2E_TMP/elsewhere"

# ---- an image -------------------------------------------------------------------
out=$E2E_TMP/out
run_captured "$pack" --name Demo --main-jar demo.jar --input "$input" --runtime "$runtime" --java-options "-Ddemo.option=set" \
    --vendor "Example Ltd" --target linux --launcher-dir "$launchers" --type app-image --dest "$out"
check_equal "image: exit code" 0 "$RUN_STATUS"
check_equal "image: names what it made" "$out/Demo"$'\n' "$RUN_STDOUT"
check_equal "image: nothing on standard error" "" "$RUN_STDERR"
check_equal "image: nothing else in the destination" "Demo" "$(ls -A "$out")"
check "image: the launcher runs" test -x "$out/Demo/Demo"
check "image: the runtime" test -x "$out/Demo/jre64/bin/java"
check "image: the input's files" cmp "$input/lib/notes.txt" "$out/Demo/app/lib/notes.txt"
check_contains "image: the main jar, from the launcher's folder" "$(cat "$out/Demo/Demo.ini")" \
    $'\nMain Jar=%CORVID_EXE_DIR%/app/demo.jar\n'
check_contains "image: the product names" "$(cat "$out/Demo/Demo.ini")" $'\nProduct Name=Example Ltd\n'
check_not_contains "image: the current directory is left as it is" "$(cat "$out/Demo/Demo.ini")" "Override WorkingDir"

# From another folder, by a relative path and by a link: the program finds
# its jar, its runtime and its resource, in the folder it was started in.
cd "$E2E_TMP/elsewhere" || exit 1
run_captured ../out/Demo/Demo a "b c"
expect_program "$RUN_STDOUT" "$out/Demo" "image, from another folder"
ln -s "$out/Demo/Demo" "$E2E_TMP/elsewhere/demo-link"
run_captured ./demo-link a "b c"
expect_program "$RUN_STDOUT" "$out/Demo" "image, through a link"
cd "$E2E_TMP" || exit 1

# The same program by its main class, among the jars of the app folder.
run_captured "$pack" --name ByClass --main-class demo.Main --input "$input" --runtime "$runtime" \
    --java-options "-Ddemo.option=set" --target linux --launcher-dir "$launchers" --type app-image --dest "$out"
check_equal "image by main class: exit code" 0 "$RUN_STATUS"
cd "$E2E_TMP/elsewhere" || exit 1
run_captured ../out/ByClass/ByClass a "b c"
cd "$E2E_TMP" || exit 1
expect_program "$RUN_STDOUT" "$out/ByClass" "image by main class, from another folder"

# ---- tar.gz ----------------------------------------------------------------------
run_captured "$pack" --name Demo --main-jar demo.jar --input "$input" --runtime "$runtime" --java-options "-Ddemo.option=set" \
    --app-version 2.1.0 --target linux --launcher-dir "$launchers" --type zip --dest "$E2E_TMP/archives"
check_equal "tar.gz: exit code" 0 "$RUN_STATUS"
archive=$E2E_TMP/archives/Demo-2.1.0-linux-x64.tar.gz
check_equal "tar.gz: its name" "$archive"$'\n' "$RUN_STDOUT"
check_equal "tar.gz: nothing else in the destination" "Demo-2.1.0-linux-x64.tar.gz" "$(ls -A "$E2E_TMP/archives")"
listing=$(tar -tvzf "$archive")
check_contains "tar.gz: the launcher runs" "$listing" "-rwxr-xr-x 0/0"
check "tar.gz: the launcher's execute bits" grep -q -E '^-rwxr-xr-x .* Demo/Demo$' <<<"$listing"
check "tar.gz: the runtime's execute bits" grep -q -E '^-rwxr-xr-x .* Demo/jre64/bin/java$' <<<"$listing"
check "tar.gz: a file's time kept" grep -q -E '^-rw-r--r-- .* 2021-03-04 05:06 Demo/app/demo.jar$' <<<"$listing"
check_equal "tar.gz: every name inside Demo/" "" "$(tar -tzf "$archive" | grep -v '^Demo/')"
mkdir -p "$E2E_TMP/unpacked"
tar -xzf "$archive" -C "$E2E_TMP/unpacked"
check_equal "tar.gz: unpacked, the input as it was" "" "$(diff -r "$input" "$E2E_TMP/unpacked/Demo/app")"
cd "$E2E_TMP/elsewhere" || exit 1
run_captured ../unpacked/Demo/Demo a "b c"
cd "$E2E_TMP" || exit 1
expect_program "$RUN_STDOUT" "$E2E_TMP/unpacked/Demo" "tar.gz, unpacked, from another folder"

# ---- a Windows zip, made here --------------------------------------------------------
convert -size 32x32 xc:'#1060c0' -define icon:auto-resize=32,16 "$E2E_TMP/app.ico"
run_captured "$pack" --name "My App" --main-jar demo.jar --input "$input" --icon "$E2E_TMP/app.ico" --app-version 3.2.1.7 \
    --vendor "Example Ltd" --copyright "© 2026 Example Ltd" --launcher-dir "$launchers" --type zip --dest "$E2E_TMP/zips"
check_equal "zip: exit code" 0 "$RUN_STATUS"
zip="$E2E_TMP/zips/My App-3.2.1.7-windows-x64.zip"
check_equal "zip: its name" "$zip"$'\n' "$RUN_STDOUT"
run_captured unzip -t "$zip"
check_equal "zip: unzip tests it" 0 "$RUN_STATUS"
names=$(unzip -Z1 "$zip")
check_equal "zip: every name relative, inside My App/" "" "$(grep -v '^My App/' <<<"$names")"
check_contains "zip: the branded launcher" "$names" $'My App/My App.exe\n'
mkdir -p "$E2E_TMP/unzipped"
(cd "$E2E_TMP/unzipped" && unzip -q "$zip")
check_equal "zip: a file's time kept" "2021-03-04 05:06:07" \
    "$(date -r "$E2E_TMP/unzipped/My App/app/demo.jar" '+%Y-%m-%d %H:%M:%S')"
check "zip: the input's files" cmp "$input/lib/notes.txt" "$E2E_TMP/unzipped/My App/app/lib/notes.txt"
ini=$(cat "$E2E_TMP/unzipped/My App/My App.ini")
check_contains "zip: the configuration for Windows" "$ini" $'\r\nMain Jar=%CORVID_EXE_DIR%\\app\\demo.jar\r\n'
utf16() { TEXT=$2 perl -MEncode -0777 -ne 'exit(index($_, encode("UTF-16LE", decode("UTF-8", $ENV{TEXT}))) < 0)' "$1"; }
for text in "My App.exe" "Example Ltd" "© 2026 Example Ltd" "3.2.1.7"; do
    check "zip: the launcher's version record holds \"$text\"" utf16 "$E2E_TMP/unzipped/My App/My App.exe" "$text"
done
check "zip: the launcher is a copy" test "$(sha256sum <"$tiny_exe")" != "$(sha256sum <"$E2E_TMP/unzipped/My App/My App.exe")"

# ---- usage ---------------------------------------------------------------------------
run_captured "$pack" --help
check_equal "--help: exit code" 0 "$RUN_STATUS"
check_contains "--help: the usage" "$RUN_STDOUT" "usage: corvid-pack --name NAME"
run_captured "$pack" --version
check_contains "--version" "$RUN_STDOUT" "corvid-pack 0."

# ---- bad input -----------------------------------------------------------------------
mkdir -p "$E2E_TMP/not-a-runtime" "$E2E_TMP/empty" "$E2E_TMP/full/Demo"
write_file "$E2E_TMP/not-a-runtime/readme.txt" "no"
write_file "$E2E_TMP/full/Demo/keep.txt" "mine"
# A runtime whose library is for 32-bit x86.
mkdir -p "$E2E_TMP/rt32/lib/server"
: >"$E2E_TMP/rt32/lib/libjava.so"
perl -e 'print "\x7FELF\x01\x01\x01", "\0" x 11, "\x03\x00", "\0" x 44' >"$E2E_TMP/rt32/lib/server/libjvm.so"
# An input whose link leads nowhere: found only while the image is copied.
mkdir -p "$E2E_TMP/broken-input"
cp "$input/demo.jar" "$E2E_TMP/broken-input/"
ln -s "$E2E_TMP/nowhere" "$E2E_TMP/broken-input/dangling"
cp "$input/demo.jar" "$E2E_TMP/not-an-icon.ico"
# A search path with what the runner needs, but no wixl.
no_wixl_path=$E2E_TMP/no-wixl
mkdir -p "$no_wixl_path"
ln -s "$(command -v timeout)" "$no_wixl_path/timeout"

# bad: the arguments of an image of the demo in BAD, with JAR, INPUT, TARGET,
# LAUNCHERS, TYPE and DEST in place of the usual ones when set.
bad() {
    BAD=(--name Demo --main-jar "${JAR:-demo.jar}" --input "${INPUT:-$input}" --target "${TARGET:-linux}"
        --launcher-dir "${LAUNCHERS:-$launchers}" --type "${TYPE:-app-image}" --dest "${DEST:-$E2E_TMP/bad-dest}")
}
# refused NAME CODE MESSAGE ARGS...: exit code CODE, one line that says
# MESSAGE, and nothing in the destination; RUN_ENV holds more VAR=value.
RUN_ENV=()
refused() {
    local name=$1 code=$2 message=$3
    shift 3
    local dest=$E2E_TMP/bad-dest
    rm -rf "$dest"
    run_captured "${RUN_ENV[@]}" "$pack" "$@"
    check_equal "$name: exit code" "$code" "$RUN_STATUS"
    check_contains "$name: says why" "$RUN_STDERR" "corvid-pack: $message"
    check_equal "$name: one line" 1 "$(printf '%s' "$RUN_STDERR" | grep -c '')"
    check_equal "$name: nothing made" "" "$(ls -A "$dest" 2>/dev/null)"
}
bad
refused "unknown option" 2 "unknown option --colour" "${BAD[@]}" --colour red
refused "option without its value" 2 "--vendor needs a value" "${BAD[@]}" --vendor
refused "no --type" 2 "--type is needed" --name Demo --main-jar demo.jar --dest "$E2E_TMP/bad-dest"
refused "a version that is not A.B.C[.D]" 2 "--app-version 1.2: not a version A.B.C or A.B.C.D" "${BAD[@]}" --app-version 1.2
refused "a bad GUID" 2 "--upgrade-code 1234: not a GUID" --name Demo --main-jar demo.jar --input "$input" \
    --launcher-dir "$launchers" --type msi --dest "$E2E_TMP/bad-dest" --upgrade-code 1234
refused "an MSI version beyond 255" 2 "--app-version 256.1.0: Windows Installer orders versions up to 255.255.65535" \
    --name Demo --main-jar demo.jar --type msi --dest "$E2E_TMP/bad-dest" --app-version 256.1.0
JAR=missing.jar bad
refused "a missing jar" 1 "missing.jar: no such file in $input" "${BAD[@]}"
INPUT=$E2E_TMP/nothing bad
refused "a missing input folder" 1 "$E2E_TMP/nothing: no such folder (--input)" "${BAD[@]}"
bad
refused "a missing runtime" 1 "$E2E_TMP/nothing: no such folder (--runtime)" "${BAD[@]}" --runtime "$E2E_TMP/nothing"
refused "not a runtime" 1 "$E2E_TMP/not-a-runtime: not a Java runtime (no lib/libjava.so) (--runtime)" \
    "${BAD[@]}" --runtime "$E2E_TMP/not-a-runtime"
refused "a 32-bit runtime" 1 "$E2E_TMP/rt32/lib/server/libjvm.so: a 32-bit (x86) library; the launcher is 64-bit (x64)" \
    "${BAD[@]}" --runtime "$E2E_TMP/rt32"
refused "a missing splash" 1 "$E2E_TMP/none.png: no such file (--splash)" "${BAD[@]}" --splash "$E2E_TMP/none.png"
TARGET=windows bad
refused "a Linux runtime for Windows" 1 "$runtime: a runtime for Linux, not for Windows (--runtime)" \
    "${BAD[@]}" --runtime "$runtime"
refused "a missing icon" 1 "$E2E_TMP/none.ico: no such file (--icon)" "${BAD[@]}" --icon "$E2E_TMP/none.ico"
LAUNCHERS=$E2E_TMP/empty bad
refused "no launcher" 1 "corvid: not found in $E2E_TMP/empty" "${BAD[@]}"
RUN_ENV=(PATH="$no_wixl_path")
refused "no wixl" 1 "wixl: not found on PATH; --type msi needs msitools (Debian and Ubuntu: apt install wixl msitools)" \
    --name Demo --main-jar demo.jar --input "$input" --launcher-dir "$launchers" --type msi --dest "$E2E_TMP/bad-dest"
RUN_ENV=()
DEST=$input/out bad
refused "a destination inside the input" 1 "$input/out: inside the --input folder $input" "${BAD[@]}"
check "a destination inside the input: not even made" test ! -e "$input/out"
# Found only once writing has begun: what was written goes again.
INPUT=$E2E_TMP/broken-input bad
refused "a link to nowhere in the input" 1 "$E2E_TMP/broken-input/dangling: neither a file nor a folder" "${BAD[@]}"
INPUT=$E2E_TMP/broken-input TYPE=zip bad
refused "a tar.gz with a link to nowhere" 1 "$E2E_TMP/broken-input/dangling: neither a file nor a folder" "${BAD[@]}"
TARGET=windows bad
refused "not an icon" 1 "$E2E_TMP/not-an-icon.ico: not an icon file" "${BAD[@]}" --icon "$E2E_TMP/not-an-icon.ico"
# An image is never made over one that exists.
DEST=$E2E_TMP/full bad
run_captured "$pack" "${BAD[@]}"
check_equal "an existing image: exit code" 1 "$RUN_STATUS"
check_equal "an existing image: says why" "corvid-pack: $E2E_TMP/full/Demo: exists and is not empty"$'\n' "$RUN_STDERR"
check_equal "an existing image: left as it was" "keep.txt" "$(ls -A "$E2E_TMP/full/Demo")"
check_equal "an existing image: nothing beside it" "Demo" "$(ls -A "$E2E_TMP/full")"
