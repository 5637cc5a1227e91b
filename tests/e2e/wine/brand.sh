# corvid-brand.exe under Wine brands a copy of corvid.exe with a four-size
# icon and every string, in any script; the shell's readers
# (GetFileVersionInfoW, VerQueryValueW, ExtractIconExW) read them back, the
# renamed copy starts and shows the usual messages, and it can be signed.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

brand=$CORVID_BUILD_DIR/src/corvid-brand.exe
for tool in "$brand" convert osslsigncode openssl; do
    if ! command -v "$tool" >/dev/null && [[ ! -f $tool ]]; then
        fail "needs $tool" "build the tests; tools/setup.sh installs the rest"
        exit 1
    fi
done

dir=$E2E_TMP/app
install_launcher "$dir/corvid.exe"
convert -size 64x64 xc:'#1060c0' -define icon:auto-resize=256,48,32,16 "$dir/app.ico"
original=$(sha256sum <"$dir/corvid.exe")

# Wine takes the arguments in the locale's character set: UTF-8 here.
wine_run LC_ALL=C.UTF-8 "$brand" --icon "$(win "$dir/app.ico")" --product-name "Mÿ Äpp 应用" \
    --file-description "Ünïcode déscription" --company-name "Ça & Co" --legal-copyright "© 2026 Ça & Co" \
    --product-version 2.5 --file-version 2.5.1.77 --original-filename "MyApp.exe" --internal-name "MyApp" \
    "$(win "$dir/corvid.exe")" "$(win "$dir/MyApp.exe")"
check_equal "brand: exit code" 0 "$RUN_STATUS"
check_equal "brand: says nothing" "" "$RUN_STDERR"
check_equal "brand: the input is unchanged" "$original" "$(sha256sum <"$dir/corvid.exe")"

wine_run "$CORVID_UIDRIVER" resources "$(win "$dir/MyApp.exe")"
check_equal "read back: exit code" 0 "$RUN_STATUS"
check_equal "read back: the values" "fixed 2.5.1.77 2.5.0.0
string CompanyName Ça & Co
string FileDescription Ünïcode déscription
string FileVersion 2.5.1.77
string InternalName MyApp
string LegalCopyright © 2026 Ça & Co
string OriginalFilename MyApp.exe
string ProductName Mÿ Äpp 应用
string ProductVersion 2.5.0.0
icons 1
large 32x32 1060c0
small 16x16 1060c0
" "$RUN_STDOUT"
# Unbranded, the launcher's own values.
wine_run "$CORVID_UIDRIVER" resources "$(win "$dir/corvid.exe")"
check_contains "read back the launcher: its product name" "$RUN_STDOUT" "string ProductName Corvid"
check_not_contains "read back the launcher: its own icon" "$RUN_STDOUT" "1060c0"

# corvid-brand.exe's own properties.
version=$(sed -n 's/^#define CORVID_VERSION_TEXT "\(.*\)"$/\1/p' "$CORVID_BUILD_DIR/src/generated/version.h")
wine_run "$CORVID_UIDRIVER" resources "$(win "$brand")"
check_equal "corvid-brand.exe: its version record and icon" "fixed $version $version
string CompanyName Corvid project
string FileDescription Corvid branding tool
string FileVersion $version
string InternalName corvid-brand
string OriginalFilename corvid-brand.exe
string ProductName Corvid
string ProductVersion $version
icons 1
large 32x32 f1faee
small 16x16 f1faee
" "$RUN_STDOUT"

# Renamed, the copy is the launcher still.
write_file "$dir/MyApp.ini" $'[Java Runtime Environment]\r\nMinimum Version=1.6\r\n'
wine_run_msgbox "$dir/MyApp.exe"
check_equal "start: the usual message" "Main class was not specified in INI file." "$MSGBOX_TEXT"
check_equal "start: exit code" 255 "$RUN_STATUS"

sign_and_verify "$dir/MyApp.exe" "$dir/Signed.exe"

# Refused input leaves nothing behind; the messages name the file.
cp "$(dirname "${BASH_SOURCE[0]}")/../../fuzz/corpus/brand_files/resource_directory_reused.exe" "$dir/reused.exe"
for case in "not an executable|app.ico: not a PE32+ executable|$(win "$dir/app.ico")|$(win "$dir/out.exe")" \
    "resource directories reused|reused.exe: has a damaged resource section|$(win "$dir/reused.exe")|$(win "$dir/out.exe")" \
    "same path|is the input|$(win "$dir/corvid.exe")|$(win "$dir/CORVID.EXE")"; do
    IFS='|' read -r name message input output <<<"$case"
    wine_run "$brand" --product-name X "$input" "$output"
    check_status "$name: exit code non-zero" 1 test "$RUN_STATUS" = 0
    check_contains "$name: says why" "$RUN_STDERR" "$message"
    check_equal "$name: no output" "" "$(cd "$dir" && ls -d out* 2>/dev/null)"
    check_equal "$name: the input is unchanged" "$original" "$(sha256sum <"$dir/corvid.exe")"
done
