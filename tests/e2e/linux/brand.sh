# corvid-brand on Linux: a Windows executable gets an icon of four sizes and
# every string of its version record, in any script; the copy is a PE that
# can be signed, and bad input leaves no output and the input unchanged.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

brand=$CORVID_BUILD_DIR/src/corvid-brand
input_exe=$(dirname "${BASH_SOURCE[0]}")/../../fuzz/corpus/brand_files/tiny.exe
for tool in "$brand" convert osslsigncode openssl x86_64-w64-mingw32-objdump; do
    if ! command -v "$tool" >/dev/null; then
        fail "needs $tool" "build the tests; tools/setup.sh installs the rest"
        exit 1
    fi
done

dir=$E2E_TMP/brand
mkdir -p "$dir"
cp "$input_exe" "$dir/in.exe"
chmod +x "$dir/in.exe"
convert -size 64x64 xc:'#1060c0' -define icon:auto-resize=256,48,32,16 "$dir/app.ico"
original=$(sha256sum <"$dir/in.exe")

# utf16 FILE TEXT: the file holds TEXT in UTF-16LE.
utf16() {
    TEXT=$2 perl -MEncode -0777 -ne 'exit(index($_, encode("UTF-16LE", decode("UTF-8", $ENV{TEXT}))) < 0)' "$1"
}

run_captured "$brand" --icon "$dir/app.ico" --product-name "Mÿ Äpp 应用" --file-description "Ünïcode déscription" \
    --company-name "Ça & Co" --legal-copyright "© 2026 Ça & Co" --product-version 2.5 --file-version 2.5.1.77 \
    --original-filename "MyApp.exe" --internal-name "MyApp" "$dir/in.exe" "$dir/MyApp.exe"
check_equal "brand: exit code" 0 "$RUN_STATUS"
check_equal "brand: says nothing" "" "$RUN_STDERR"
check_equal "brand: the input is unchanged" "$original" "$(sha256sum <"$dir/in.exe")"
check "brand: the copy is executable" test -x "$dir/MyApp.exe"
headers=$(x86_64-w64-mingw32-objdump -p "$dir/MyApp.exe" 2>&1)
check_contains "brand: a 64-bit PE" "$headers" "file format pei-x86-64"
check_contains "brand: resources in their section" "$headers" "Resource Directory [.rsrc]"
for text in "Mÿ Äpp 应用" "Ünïcode déscription" "Ça & Co" "© 2026 Ça & Co" "2.5.0.0" "2.5.1.77" "MyApp.exe"; do
    check "brand: the record holds \"$text\" in UTF-16" utf16 "$dir/MyApp.exe" "$text"
done
check_status "brand: the old product name is gone" 1 utf16 "$dir/MyApp.exe" "Tiny"
# Resources by type, name and language, as objdump lists them.
resources=$(awk '/Entry: ID:/ {
        match($0, /^[0-9a-f]+ +/); depth = RLENGTH - length($1); id = $4; sub(",", "", id)
        if (depth == 3) type = id; else if (depth == 5) name = id; else if (depth == 7) print type, name, id
    }' <<<"$headers")
check_equal "brand: four icon images" 4 "$(grep -c '^0x000003 ' <<<"$resources")"
check_equal "brand: one icon group" 1 "$(grep -c '^0x00000e ' <<<"$resources")"
check_equal "brand: the string table kept" 1 "$(grep -c '^0x000006 ' <<<"$resources")"

# Signed with a throw-away certificate, the signature verifies.
sign_and_verify "$dir/MyApp.exe" "$dir/signed.exe"
# Branding a signed copy drops the signature it would break.
run_captured "$brand" --product-name Again "$dir/signed.exe" "$dir/again.exe"
check_equal "brand a signed copy: exit code" 0 "$RUN_STATUS"
check_equal "brand a signed copy: no signature left" "" \
    "$(x86_64-w64-mingw32-objdump -p "$dir/again.exe" | sed -n 's/^Entry 4 0*\([1-9a-f][0-9a-f]*\) .*/\1/p')"

# bad_input NAME MESSAGE ARGS...: refused with MESSAGE, no output, input kept.
bad_input() {
    local name=$1 message=$2
    shift 2
    rm -f "$dir"/out*
    run_captured "$brand" "$@"
    check_status "$name: exit code non-zero" 1 test "$RUN_STATUS" = 0
    check_contains "$name: says why" "$RUN_STDERR" "$message"
    check_equal "$name: no output" "" "$(cd "$dir" && ls -d out* 2>/dev/null)"
    check_equal "$name: the input is unchanged" "$original" "$(sha256sum <"$dir/in.exe")"
}
bad_input "not an executable" "$dir/app.ico: not a PE32+ executable (no MZ header)" "$dir/app.ico" "$dir/out.exe"
bad_input "not an icon" "$dir/in.exe: not an icon file (.ico)" --icon "$dir/in.exe" "$dir/in.exe" "$dir/out.exe"
bad_input "missing icon" "$dir/none.ico: cannot be read" --icon "$dir/none.ico" "$dir/in.exe" "$dir/out.exe"
bad_input "bad version" "--file-version 1.2.3.4.5: not a version" --file-version 1.2.3.4.5 "$dir/in.exe" "$dir/out.exe"
bad_input "version part too large" "--product-version 65536: not a version" --product-version 65536 "$dir/in.exe" "$dir/out.exe"
bad_input "same path" "is the input" --product-name X "$dir/in.exe" "$dir/../brand/in.exe"
bad_input "unwritable output" "$dir/out/x.exe: cannot be written" "$dir/in.exe" "$dir/out/x.exe"
bad_input "unknown option" "unknown option --colour" --colour red "$dir/in.exe" "$dir/out.exe"
head -c 1000 "$dir/in.exe" >"$dir/cut.exe"
bad_input "cut short" "$dir/cut.exe: not a PE32+ executable" "$dir/cut.exe" "$dir/out.exe"
# The second section made to start where the first does, as no loader takes.
pe=$(od -An -tu4 -j60 -N4 "$dir/in.exe" | tr -d ' ')
table=$((pe + 24 + $(od -An -tu2 -j$((pe + 20)) -N2 "$dir/in.exe" | tr -d ' ')))
cp "$dir/in.exe" "$dir/overlap.exe"
dd if="$dir/in.exe" of="$dir/overlap.exe" bs=1 skip=$((table + 12)) seek=$((table + 52)) count=4 conv=notrunc status=none
bad_input "sections overlap" "overlaps the one before it in memory" "$dir/overlap.exe" "$dir/out.exe"
# Every resource entry points at one subdirectory and every leaf at the whole
# section: 17 KB that took 860 MB before it was refused.
reused=$(dirname "${BASH_SOURCE[0]}")/../../fuzz/corpus/brand_files/resource_directory_reused.exe
bad_input "resource directories reused" \
    "$reused: has a damaged resource section: the resource entries add up to more than the resource section holds" \
    "$reused" "$dir/out.exe"
check_equal "resource directories reused: the exit code of a bad file" 1 "$RUN_STATUS"
# Two entries of an icon file, one image: 4,000 of them in 65 KB made a 260 MB copy.
perl -e 'print pack("v3", 0, 1, 2), map(pack("C4v2V2", 16, 16, 0, 0, 1, 32, 40, 38), 1 .. 2), "\x01" x 40' >"$dir/shared.ico"
bad_input "icon images shared" "$dir/shared.ico: the icon file's images add up to more than the file holds" \
    --icon "$dir/shared.ico" "$dir/in.exe" "$dir/out.exe"
check_equal "icon images shared: the exit code of a bad file" 1 "$RUN_STATUS"
