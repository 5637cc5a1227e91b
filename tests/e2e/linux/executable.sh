# The Linux program as a file: it needs only the C library at run time, and
# carries no stream library.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

program=$CORVID_LAUNCHER
dynamic=$(readelf -d "$program" 2>&1)
check_contains "readelf reads the program" "$dynamic" "Dynamic section"
# Loading libstdc++ was most of the launcher's own start-up time: the C++
# runtime is linked in, and only libraries of every glibc system remain.
allowed=(libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 libgcc_s.so.1 ld-linux-x86-64.so.2)
while read -r library; do
    if [[ " ${allowed[*]} " == *" $library "* ]]; then
        pass "needs system library $library"
    else
        fail "needs only system libraries" "$library"
    fi
done < <(sed -n 's/.*(NEEDED).*Shared library: \[\(.*\)\]/\1/p' <<<"$dynamic")

check_status "no iostreams" 1 grep -a -q 'ios_base' "$program"
