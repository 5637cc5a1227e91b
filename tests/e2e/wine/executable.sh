# The Windows executable as a file: a 64-bit GUI program that needs no DLL
# beside it, carrying its icon, version record, manifest and string tables.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

exe=$CORVID_LAUNCHER
objdump=x86_64-w64-mingw32-objdump
headers=$E2E_TMP/headers
if ! $objdump -p "$exe" >"$headers" 2>&1; then
    fail "objdump reads the executable" "$(head -3 "$headers")"
    exit 0
fi
dump=$(<"$headers")

check_contains "64-bit PE" "$dump" "file format pei-x86-64"
check_contains "PE32+ header" "$dump" $'Magic\t\t\t020b\t(PE32+)'
check_contains "GUI subsystem" "$dump" $'Subsystem\t\t00000002\t(Windows GUI)'

# DLLs that every Windows installation has in its system folder. A compiler
# runtime (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) or any
# other DLL would have to be shipped beside the executable.
system_dlls=(advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll gdi32.dll gdiplus.dll kernel32.dll msvcrt.dll
 ntdll.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll)
imports=$(sed -n 's/^\tDLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z')
check_contains "imports kernel32.dll" "$imports" "kernel32.dll"
for dll in $imports; do
    if [[ " ${system_dlls[*]} " == *" $dll "* || $dll == api-ms-win-* ]]; then
        pass "imports system DLL $dll"
    else
        fail "imports only system DLLs" "$dll is not a system DLL"
    fi
done

# Resources by type: 3 icon, 6 string table, 14 icon group, 16 version, 24 manifest.
resources=$(awk '/Entry: ID:/ {
        match($0, /^[0-9a-f]+ +/); depth = RLENGTH - length($1); id = $4; sub(",", "", id)
        if (depth == 3) type = id; else if (depth == 5) name = id; else if (depth == 7) print type, name, id
    }' <<<"$dump")
for type in 0x000003:icon 0x00000e:icon-group 0x000010:version 0x000018:manifest 0x000006:string-table; do
    check_contains "resource: ${type#*:}" "$resources" "${type%:*} "
done
# Every block of the string table exists in the five languages.
blocks=$(awk '$1 == "0x000006" { print $2 }' <<<"$resources" | sort -u)
for block in $blocks; do
    languages=$(awk -v b="$block" '$1 == "0x000006" && $2 == b { print $3 }' <<<"$resources" | sort | tr '\n' ' ')
    check_equal "string block $block: de en it pt es" "0x000407 0x000409 0x000410 0x000816 0x000c0a " "$languages"
done

# The manifest is stored as it is written, UTF-8.
manifest=$(perl -0777 -ne 'print $1 if /(<assembly.*?<\/assembly>)/s' "$exe")
check_contains "manifest: common controls 6" "$manifest" 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'
check_contains "manifest: asInvoker" "$manifest" 'level="asInvoker"'
# The process keeps the system's default awareness, which the JVM inherits.
check_not_contains "manifest: no DPI awareness" "$manifest" 'dpiAware'

version=$(x86_64-w64-mingw32-strings -el "$exe")
check_contains "version record: product name" "$version" $'ProductName\nCorvid'
check_contains "version record: file name" "$version" $'OriginalFilename\ncorvid.exe'

# The stream library would add most of a megabyte; its type names give it away.
check_status "no iostreams" 1 grep -a -q 'ios_base' "$exe"
