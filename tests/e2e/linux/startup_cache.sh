# The start-up cache with the real JVMs: the first start creates the archive,
# the second checks it, the third maps it; a changed jar, a damaged archive,
# a crash marker, an unusable folder, System.exit and two starts at once; a
# class folder; files of other programs beside the cache and in its folder;
# the JVM's own output while main runs; on 25 and later the AOT cache:
# recorded, built detached, checked, mapped, rebuilt after a jar changes,
# dropped when damaged.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

jdk17=/usr/lib/jvm/java-17-openjdk-amd64
probes=$CORVID_BUILD_DIR/tests/java/probes.jar
if [[ ! -f $jdk17/lib/server/libjvm.so || ! -f $probes ]]; then
    fail "prerequisites" "needs $jdk17 and $probes (built by the corvid_java_probe_jar target)"
    exit 1
fi

app=$E2E_TMP/app/app.bin
install_launcher "$app"
cp "$probes" "$E2E_TMP/app/probes.jar"
cache_root=$E2E_TMP/cache
classlog=$E2E_TMP/classload.txt

# configure JDK MAIN CODE [MORE_VM_PARAMETERS]: product code CODE gives each
# case its own cache folder, the launcher's own level under the product's.
configure() {
    write_file "$E2E_TMP/app/app.ini" "[Java Runtime Environment]
Main Class=$2
JRE Path=$1
Startup Cache=Yes
Virtual Machine Parameters=-Xmx64m ${classlog_option-"-Xlog:class+load=info:file=$classlog"} ${4:-}
[Class Path]
Class Path=probes.jar
[Application]
Override WorkingDir=Yes
[Product Information]
Product Name=Cache: Test
Product Code=$3
"
    folder="$cache_root/Cache Test/$3/corvid-cache"
}
# start [ARGS...]: one start with the trace in TRACE.
start() {
    rm -f "$E2E_TMP/trace" "$classlog"
    run_captured XDG_CACHE_HOME="$cache_root" CORVID_TRACE="$E2E_TMP/trace" "$app" "$@"
    TRACE=$(cat "$E2E_TMP/trace" 2>/dev/null)
}
archives() { (cd "$folder" 2>/dev/null && ls -1 -- *.jsa 2>/dev/null); }
# wait_for FILE: up to 90 s for a detached build to leave FILE.
wait_for() { for _ in $(seq 180); do [[ -e $1 ]] && return 0; sleep 0.5; done; return 1; }
loaded_from() { grep -m1 " $1 source: " "$classlog" 2>/dev/null | sed 's/.* source: //'; }

# One JDK through the whole life of an archive.
life_cycle() {
    local jdk=$1 name=$2
    configure "$jdk" corvid.probe.PrintArgs "life-$name"
    start one
    check_equal "$name first start: runs" $'count 1\n[one]\n' "$RUN_STDOUT"
    check_equal "$name first start: exit 0, nothing on stderr" "0 " "$RUN_STATUS $RUN_STDERR"
    check_contains "$name first start: key traced" "$TRACE" '[Java Runtime Environment] Startup Cache = "Yes"'
    check_contains "$name first start: creates" "$TRACE" "startup cache: creating app-"
    check_contains "$name first start: recorded" "$TRACE" "startup cache: created app-"
    check_contains "$name first start: the JVM was asked to write it" "$TRACE" "-XX:ArchiveClassesAtExit=$folder/app-"
    check_equal "$name first start: main class from the jar" "file:$E2E_TMP/app/probes.jar" "$(loaded_from corvid.probe.PrintArgs)"

    start two
    check_equal "$name second start: runs" $'count 1\n[two]\n' "$RUN_STDOUT$RUN_STDERR"
    check_contains "$name second start: checks the new archive" "$TRACE" "startup cache: checked app-"
    check_contains "$name second start: verifies it" "$TRACE" "-XX:+VerifySharedSpaces"
    check_equal "$name second start: classes from it" "shared objects file (top)" "$(loaded_from corvid.probe.PrintArgs)"
    archive=$folder/$(archives)

    start three
    check_equal "$name third start: runs" $'count 1\n[three]\n' "$RUN_STDOUT$RUN_STDERR"
    check_contains "$name third start: uses it" "$TRACE" "startup cache: using $(basename "$archive"): its record matches"
    check_not_contains "$name third start: no verification any more" "$TRACE" "VerifySharedSpaces"
    # From 25 on the third start records the AOT configuration instead (below).
    ((${3:-17} >= 25)) && return
    check_equal "$name third start: classes from it" "shared objects file (top)" "$(loaded_from corvid.probe.PrintArgs)"
    check_equal "$name: the folder holds the archive, its record and nothing else" \
        "$(basename "$archive") $(basename "$archive").meta" "$(cd "$folder" && echo *)"
}

# The AOT cache after life_cycle's third start (25 and later): that start
# recorded, a detached build made the cache, the next start checks it, the
# one after maps it.
aot_cycle() {
    local name=$1 label=$2 aot
    aot=${archive%.jsa}.aot
    check_contains "$name $label: the third start records" "$TRACE" "startup cache: recording the AOT configuration"
    check_contains "$name $label: ... and starts the build" "$TRACE" "a detached build makes the AOT cache"
    check_not_contains "$name $label: ... without the archive" "$TRACE" "SharedArchiveFile"
    check "$name $label: the detached build leaves the AOT cache" wait_for "$aot"
    check "$name $label: ... and ends" wait_for_gone "$folder" '*.build'
    start four
    check_equal "$name $label: fourth start runs" $'0\ncount 1\n[four]\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
    check_contains "$name $label: fourth start checks the AOT cache" "$TRACE" "startup cache: checked $(basename "$aot")"
    start five
    check_equal "$name $label: fifth start runs" $'0\ncount 1\n[five]\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
    check_contains "$name $label: fifth start maps it" "$TRACE" "-XX:AOTCache=$aot"
    check_equal "$name $label: classes from the AOT cache" "shared objects file" "$(loaded_from corvid.probe.PrintArgs)"
}
# wait_for_gone FOLDER GLOB: up to 90 s until no file matches.
wait_for_gone() {
    for _ in $(seq 180); do compgen -G "$1/$2" >/dev/null || return 0; sleep 0.5; done
    return 1
}

life_cycle "$jdk17" "JDK 17"

# ---- a replaced jar gives a new archive ------------------------------------------
old_archive=$(basename "$archive")
cp "$probes" "$E2E_TMP/app/probes.jar.new"
touch -d '2001-01-01' "$E2E_TMP/app/probes.jar.new"
mv "$E2E_TMP/app/probes.jar.new" "$E2E_TMP/app/probes.jar"
start replaced
check_equal "replaced jar: runs" $'count 1\n[replaced]\n' "$RUN_STDOUT$RUN_STDERR"
check_contains "replaced jar: a new archive is created" "$TRACE" "startup cache: creating app-"
check_not_contains "replaced jar: the old one is not used" "$TRACE" "using $old_archive"
check "replaced jar: the old archive is kept among the newest" test -f "$folder/$old_archive"

# ---- damaged archives ---------------------------------------------------------------
configure "$jdk17" corvid.probe.PrintArgs damage
start; start; start
archive=$folder/$(archives)
size=$(stat -c %s "$archive")
chmod u+w "$archive"
truncate -s $((size / 2)) "$archive"
start truncated
check_equal "truncated archive: plain start, exit 0" $'0\ncount 1\n[truncated]\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
check_contains "truncated archive: rejected" "$TRACE" "rejected $(basename "$archive"): its size differs from its record"
check_contains "truncated archive: deleted" "$TRACE" "deleted $(basename "$archive")"

start; start
archive=$folder/$(archives)
chmod u+w "$archive"
printf '\x55\x55\x55\x55\x55\x55\x55\x55' | dd of="$archive" bs=1 seek=20000 conv=notrunc status=none
start corrupted
check_equal "corrupted archive: plain start, exit 0" $'0\ncount 1\n[corrupted]\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
check_contains "corrupted archive: rejected" "$TRACE" "rejected $(basename "$archive"): it was changed after its record was written"
check "corrupted archive: deleted" test ! -e "$archive"

# A start whose JVM did not end in order leaves its marker: the next start drops the archive.
start; start
archive=$folder/$(archives)
true & dead=$!
wait "$dead"
printf '%s' "$(basename "$archive")" >"${archive%.jsa}.$dead.start"
start after-crash
check_equal "crash marker: plain start, exit 0" $'0\ncount 1\n[after-crash]\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
check_contains "crash marker: the archive is deleted" "$TRACE" \
    "deleted $(basename "$archive"): the start that used it did not end in order"
check_not_contains "crash marker: no cache options this time" "$TRACE" "SharedArchiveFile"
check "crash marker: gone" test ! -e "${archive%.jsa}.$dead.start"

# A damaged archive whose time was put back passes its record; when the JVM
# dies on it before main, the marker makes the next start drop it.
configure "$jdk17" corvid.probe.PrintArgs crash
start; start
archive=$folder/$(archives)
cp -p "$archive" "$E2E_TMP/archive.backup"
size=$(stat -c %s "$archive")
crashed=""
for share in 50 55 60 65 70 75 80 85 90 95 40 30; do
    cp -p "$E2E_TMP/archive.backup" "$archive"
    chmod u+w "$archive"
    head -c 256 /dev/zero | tr '\0' 'U' | dd of="$archive" bs=1 seek=$((size * share / 100)) conv=notrunc status=none
    touch -r "$E2E_TMP/archive.backup" "$archive"
    rm -f "$folder"/*.start
    start during
    if ((RUN_STATUS != 0)); then crashed=$share; break; fi
done
check "damaged archive with its time put back: the JVM dies on it (at ${crashed:-no}%)" test -n "$crashed"
start recovered
check_equal "after the JVM died: plain start, exit 0" $'0\ncount 1\n[recovered]\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
check_contains "after the JVM died: the archive is deleted" "$TRACE" \
    "deleted $(basename "$archive"): the start that used it did not end in order"
start created
check_contains "after the JVM died: the next start creates anew" "$TRACE" "startup cache: creating app-"
rm -f "$E2E_TMP"/app/hs_err_pid*.log

# ---- folders that cannot be used ----------------------------------------------------------
configure "$jdk17" corvid.probe.PrintArgs blocked
mkdir -p "$(dirname "$folder")"
: >"$folder"
start blocked
check_equal "cache folder is a file: plain start" $'0\ncount 1\n[blocked]\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
check_contains "cache folder is a file: said so" "$TRACE" "startup cache: off: cannot use the folder"
check_not_contains "cache folder is a file: no cache options" "$TRACE" "-Xshare"

# Read-only for a user who is not root (root writes anyway).
classlog_option="" configure "$jdk17" corvid.probe.PrintArgs readonly
mkdir -p "$folder"
chmod 755 "$E2E_TMP" "$E2E_TMP/app" "$cache_root" "$cache_root/Cache Test" "$(dirname "$folder")"
chmod 555 "$folder"
chmod 644 "$E2E_TMP/app/app.ini" "$E2E_TMP/app/probes.jar"
rm -f "$classlog"
if [[ $(id -u) == 0 ]]; then as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups); else as_user=(); fi
run_captured "${as_user[@]}" env XDG_CACHE_HOME="$cache_root" CORVID_TRACE=- "$app" readonly
check_equal "read-only folder: plain start" $'0\ncount 1\n[readonly]\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT"
check_contains "read-only folder: said so" "$RUN_STDERR" "cannot write to $folder; plain start"
check_not_contains "read-only folder: no cache options" "$RUN_STDERR" "ArchiveClassesAtExit"
chmod 755 "$folder"

# ---- files of other programs beside the cache and in its folder ------------------------------
# With empty product names the cache's folder is a level of its own in the
# cache root, where other programs (and this one) keep files of their own;
# in the folder, only names of the cache's exact form are the launcher's.
configure "$jdk17" corvid.probe.PrintArgs ""
sed -i 's/^Product Name=.*/Product Name=/' "$E2E_TMP/app/app.ini"
folder=$cache_root/corvid-cache
true & dead=$!
wait "$dead"
mkdir -p "$folder"
planted=()
for place in "$cache_root" "$folder"; do
    printf 'notes\n' >"$place/app-notes.20240301.log"
    printf 'backup\n' >"$place/app-backup.1999.tmp"
    printf 'app-notes.20240301.log' >"$place/app-session.$dead.start"
    printf 'state\n' >"$place/app-0123456789ABCDEF.$dead.aotconf"
    planted+=("$place/app-notes.20240301.log" "$place/app-backup.1999.tmp" "$place/app-session.$dead.start"
        "$place/app-0123456789ABCDEF.$dead.aotconf")
done
# A marker of the cache's own form, of a start that has ended, naming a file that is not the cache's.
printf 'app-backup.1999.tmp' >"$cache_root/app-0123456789abcdef.$dead.start"
printf 'app-backup.1999.tmp' >"$folder/app-0123456789abcdef.$dead.start"
planted+=("$cache_root/app-0123456789abcdef.$dead.start")
start plain
check_equal "empty product names, first start: runs" $'0\ncount 1\n[plain]\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
check_contains "empty product names, first start: creates in a folder of its own" "$TRACE" \
    "-XX:ArchiveClassesAtExit=$folder/app-"
start again
check_contains "empty product names, second start: checks the archive" "$TRACE" "startup cache: checked app-"
missing=""
for file in "${planted[@]}"; do [[ -f $file ]] || missing+=" $file"; done
check_equal "empty product names: every file of other programs is still there" "" "$missing"
check_equal "empty product names: ... unchanged" "notes backup" \
    "$(cat "$cache_root/app-notes.20240301.log" "$folder/app-backup.1999.tmp" | tr '\n' ' ' | sed 's/ $//')"
check "empty product names: the cache's own marker of the ended start is gone" \
    test ! -e "$folder/app-0123456789abcdef.$dead.start"

# ---- System.exit while the archive is written --------------------------------------------------
configure "$jdk17" corvid.probe.Exit exit
start 7
check_equal "System.exit(7) while creating: the code is kept" 7 "$RUN_STATUS"
check_contains "System.exit(7) while creating: the exit hook ran" "$TRACE" "JVM exit hook: System.exit(7)"
check_contains "System.exit(7) while creating: the archive is recorded from the exit hook" "$TRACE" \
    "startup cache: created app-"
start 7
check_equal "System.exit(7), next start: kept" 7 "$RUN_STATUS"
check_contains "System.exit(7), next start: the archive checks out" "$TRACE" "startup cache: checked app-"
start 7
check_contains "System.exit(7), third start: used" "$TRACE" "startup cache: using app-"
check_equal "System.exit(7), third start: classes from the archive" "shared objects file (top)" \
    "$(loaded_from corvid.probe.Exit)"

# ---- two first starts at once -------------------------------------------------------------------
# No class log: two JVMs writing one log file race over its rotation.
classlog_option="" configure "$jdk17" corvid.probe.PrintArgs twice
for n in 1 2; do
    XDG_CACHE_HOME="$cache_root" CORVID_TRACE="$E2E_TMP/twice$n.trace" timeout 60 "$app" "start $n" \
        >"$E2E_TMP/twice$n.out" 2>&1 &
    eval "pid$n=$!"
done
wait "$pid1"; status1=$?
wait "$pid2"; status2=$?
check_equal "two at once: both exit 0" "0 0" "$status1 $status2"
check_equal "two at once: first ran" $'count 1\n[start 1]' "$(cat "$E2E_TMP/twice1.out")"
check_equal "two at once: second ran" $'count 1\n[start 2]' "$(cat "$E2E_TMP/twice2.out")"
start after
check_equal "two at once: the next start runs" $'count 1\n[after]\n' "$RUN_STDOUT$RUN_STDERR"
check_contains "two at once: and checks one of their archives" "$TRACE" "startup cache: checked app-"
start again
check_contains "two at once: which is then used" "$TRACE" "startup cache: using app-"
check_equal "two at once: the other start's archive is gone" "$(archives) $(archives).meta" "$(cd "$folder" && echo *)"

# ---- the newest JDK on the machine, when there is one besides 17 ----------------------------------
newest=""
for jdk in /usr/lib/jvm/*; do
    [[ -f $jdk/lib/server/libjvm.so && -f $jdk/release ]] || continue
    version=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$jdk/release")
    if [[ -n $version ]] && ((version > 17)) && [[ -z $newest || $version -gt ${newest_version:-0} ]]; then
        newest=$jdk
        newest_version=$version
    fi
done
if [[ -n $newest ]]; then
    life_cycle "$newest" "JDK $newest_version" "$newest_version"
    ((newest_version >= 25)) && aot_cycle "JDK $newest_version" "AOT"
else
    echo "skipped: no JDK newer than 17 in /usr/lib/jvm"
fi

# ---- what the JVM prints while main runs, in a creating and a recording start -------------------
# live_start LABEL: a start of corvid.probe.GcThenWait in the background; its
# JVM's gc line and a thread dump asked for meanwhile appear while main waits.
live_start() {
    local label=$1 go=$E2E_TMP/go out=$E2E_TMP/live.out status
    rm -f "$go" "$out" "$E2E_TMP/trace"
    XDG_CACHE_HOME="$cache_root" CORVID_TRACE="$E2E_TMP/trace" "$app" "$go" >"$out" 2>&1 </dev/null &
    live_pid=$!
    kill_at_exit live_pid
    for _ in $(seq 300); do grep -q '^collected' "$out" && break; sleep 0.2; done
    check_contains "$label: the JVM's gc line is written while main runs" "$(cat "$out")" "Pause Full (System.gc())"
    kill -QUIT "$live_pid"
    for _ in $(seq 100); do grep -q 'Full thread dump' "$out" && break; sleep 0.1; done
    check_contains "$label: a thread dump is written while main runs" "$(cat "$out")" "Full thread dump"
    : >"$go"
    wait "$live_pid"
    status=$?
    TRACE=$(cat "$E2E_TMP/trace" 2>/dev/null)
    check_equal "$label: exit 0, main ran to its end" "0 done" "$status $(grep -x done "$out")"
    check_not_contains "$label: without the JVM's words about the archive" "$(cat "$out")" "AOTConfiguration"
}
configure "$jdk17" corvid.probe.GcThenWait live-17 -Xlog:gc:stdout
live_start "JDK 17 creating start"
check_contains "JDK 17 creating start: it created" "$TRACE" "startup cache: created app-"
if [[ -n $newest ]] && ((newest_version >= 25)); then
    configure "$newest" corvid.probe.GcThenWait live-25 -Xlog:gc:stdout
    : >"$E2E_TMP/ready"
    start "$E2E_TMP/ready"
    start "$E2E_TMP/ready"
    live_start "JDK $newest_version recording start"
    check_contains "JDK $newest_version recording start: it recorded" "$TRACE" "a detached build makes the AOT cache"
    check "JDK $newest_version recording start: the build ends" wait_for_gone "$folder" '*.aotconf'
fi

# ---- a class folder on the class path: every start plain, nothing changed ------------------------
mkdir -p "$E2E_TMP/app/classes" "$E2E_TMP/app/late"
echo "x=1" >"$E2E_TMP/app/classes/settings.properties"
for jdk in "$jdk17" ${newest:+"$newest"}; do
    configure "$jdk" corvid.probe.PrintArgs "folder-$(basename "$jdk")"
    sed -i 's/^Class Path=probes.jar/Class Path=classes:probes.jar/' "$E2E_TMP/app/app.ini"
    outputs=""
    for n in 1 2 3 4; do
        start "f$n"
        outputs+="$RUN_STATUS $RUN_STDOUT$RUN_STDERR|"
    done
    check_equal "$(basename "$jdk") class folder: four plain starts, exit 0, clean output" \
        "0 count 1"$'\n'"[f1]"$'\n'"|0 count 1"$'\n'"[f2]"$'\n'"|0 count 1"$'\n'"[f3]"$'\n'"|0 count 1"$'\n'"[f4]"$'\n'"|" "$outputs"
    check_contains "$(basename "$jdk") class folder: said so" "$TRACE" \
        "startup cache: off: the class path folder $E2E_TMP/app/classes is not empty"

    # A folder that fills while the program runs: the JVM refuses the archive
    # as it ends; the start keeps its code and its output.
    configure "$jdk" corvid.probe.Lingering "late-$(basename "$jdk")"
    sed -i 's/^Class Path=probes.jar/Class Path=late:probes.jar/' "$E2E_TMP/app/app.ini"
    rm -f "$E2E_TMP/app/late/"*
    start "$E2E_TMP/app/late/done"
    check_equal "$(basename "$jdk") folder filled during the start: exit 0, the program's output only" \
        $'0\nmain returned\nworker done\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
    check_contains "$(basename "$jdk") folder filled during the start: the refusal is traced" "$TRACE" \
        "the JVM refused the archive at exit; the start ends with 0"
    check_equal "$(basename "$jdk") folder filled during the start: nothing left" "" "$(cd "$folder" && ls)"
done

# ---- an agent in the JVM: every start plain -----------------------------------------------------
# The JVM refuses to write an archive while an agent runs, and it refuses by
# not starting: before, every other start failed.
mkdir -p "$E2E_TMP/agent"
(cd "$E2E_TMP/agent" && "$jdk17/bin/jar" xf "$probes" corvid/probe/SlowStart.class &&
    printf 'Premain-Class: corvid.probe.SlowStart\n' >manifest &&
    "$jdk17/bin/jar" cfm agent.jar manifest corvid/probe/SlowStart.class)
agent_starts() {
    outputs=""
    for n in 1 2 3; do
        rm -f "$E2E_TMP/trace"
        run_captured XDG_CACHE_HOME="$cache_root" CORVID_TRACE="$E2E_TMP/trace" "$@" "$app" "a$n"
        outputs+="$RUN_STATUS $(grep -o '^\[a[0-9]\]$' <<<"$RUN_STDOUT")|"
    done
    TRACE=$(cat "$E2E_TMP/trace" 2>/dev/null)
}
for jdk in "$jdk17" ${newest:+"$newest"}; do
    name=$(basename "$jdk")
    configure "$jdk" corvid.probe.PrintArgs "agent-$name" "-javaagent:$E2E_TMP/agent/agent.jar=0"
    agent_starts
    check_equal "$name Java agent in the VM parameters: three starts, exit 0" "0 [a1]|0 [a2]|0 [a3]|" "$outputs"
    check_contains "$name Java agent in the VM parameters: said so" "$TRACE" \
        "startup cache: off: the JVM writes no archive while an agent runs (-javaagent:$E2E_TMP/agent/agent.jar=0)"
    check_equal "$name Java agent in the VM parameters: no archive" "" "$(archives)"
    configure "$jdk" corvid.probe.PrintArgs "native-agent-$name"
    agent_starts JAVA_TOOL_OPTIONS="-agentlib:jdwp=transport=dt_socket,server=y,suspend=n,address=127.0.0.1:0"
    check_equal "$name native agent in JAVA_TOOL_OPTIONS: three starts, exit 0" "0 [a1]|0 [a2]|0 [a3]|" "$outputs"
    check_equal "$name native agent in JAVA_TOOL_OPTIONS: no archive" "" "$(archives)"
done

[[ -n $newest ]] && ((newest_version >= 25)) || { echo "skipped: the AOT cache needs a JDK 25 or later"; exit 0; }

# ---- the AOT cache (25 and later), after its first cycle above --------------------------------
configure "$newest" corvid.probe.PrintArgs "life-JDK $newest_version"
aot=${archive%.jsa}.aot
check_equal "AOT: the folder holds both caches and their records" \
    "$(basename "$aot") $(basename "$aot").meta $(basename "$archive") $(basename "$archive").meta" \
    "$(cd "$folder" && echo *)"

# A jar changed in place: a new key, so neither cache is used and both are
# made anew; System.exit keeps its code in every mode on the way (creating,
# checking, recording, checking and using the AOT cache). The main class is
# not part of the key.
configure "$newest" corvid.probe.Exit "life-JDK $newest_version"
old_aot=$(basename "$aot")
touch -d '2002-02-02' "$E2E_TMP/app/probes.jar"
codes="" outputs=""
for n in 1 2 3 4 5; do
    start 7
    codes+="$RUN_STATUS " outputs+="$RUN_STDOUT$RUN_STDERR"
    ((n == 1)) && check_contains "AOT, jar changed: a new archive is created" "$TRACE" "startup cache: creating app-"
    ((n == 3)) && check_contains "AOT, jar changed: recorded again" "$TRACE" "recording the AOT configuration"
    ((n == 3)) && check "AOT, jar changed: the build ends" wait_for_gone "$folder" '*.aotconf'
    ((n < 5)) && check_not_contains "AOT, jar changed, start $n: the old AOT cache is not used" "$TRACE" "$old_aot"
done
check_equal "AOT with System.exit(7): the code in all five modes" "7 7 7 7 7 " "$codes"
check_equal "AOT with System.exit(7): the program's output only" \
    $'exiting with 7\nexiting with 7\nexiting with 7\nexiting with 7\nexiting with 7\n' "$outputs"
check_contains "AOT, jar changed: the fifth start maps a new AOT cache" "$TRACE" "startup cache: using app-"
check_not_contains "AOT, jar changed: ... not the old one" "$TRACE" "$old_aot"
check_equal "AOT, jar changed: classes from it" "shared objects file" "$(loaded_from corvid.probe.Exit)"

# A damaged AOT cache is dropped; the archive is used and the key recorded anew.
aot=$(cd "$folder" && ls -t -- *.aot | head -1)
aot=$folder/$aot
chmod u+w "$aot"
printf 'UUUUUUUU' | dd of="$aot" bs=1 seek=30000 conv=notrunc status=none
start 3
check_equal "damaged AOT cache: the code and the output" $'3\nexiting with 3\n' "$RUN_STATUS"$'\n'"$RUN_STDOUT$RUN_STDERR"
check_contains "damaged AOT cache: dropped" "$TRACE" "deleted $(basename "$aot"): it was changed after its record was written"
check_equal "damaged AOT cache: the archive is used instead" "shared objects file (top)" "$(loaded_from corvid.probe.Exit)"
start 0
check_contains "damaged AOT cache: the next start records anew" "$TRACE" "startup cache: recording the AOT configuration"
wait_for_gone "$folder" '*.aotconf'

# ---- a recording or a build that never ends in order (25 and later) -------------------------------
# killed_recording LABEL: a start of corvid.probe.GcThenWait, killed while main
# waits; its trace in TRACE.
killed_recording() {
    local out=$E2E_TMP/killed.out
    rm -f "$E2E_TMP/never" "$E2E_TMP/trace"
    XDG_CACHE_HOME="$cache_root" CORVID_TRACE="$E2E_TMP/trace" "$app" "$E2E_TMP/never" >"$out" 2>&1 </dev/null &
    live_pid=$!
    for _ in $(seq 300); do grep -q '^collected' "$out" && break; sleep 0.2; done
    kill -KILL "$live_pid"
    wait "$live_pid" 2>/dev/null
    TRACE=$(cat "$E2E_TMP/trace" 2>/dev/null)
}
: >"$E2E_TMP/ready"

# A recording start killed each time: the next start is plain (the crash
# marker), the one after records again; three recordings in all, then the
# archive alone is used.
configure "$newest" corvid.probe.GcThenWait stale-recording
start "$E2E_TMP/ready"
start "$E2E_TMP/ready"
for attempt in 1 2 3; do
    killed_recording
    check_contains "recording killed, attempt $attempt: it recorded" "$TRACE" \
        "startup cache: recording the AOT configuration for app-"
    check_contains "recording killed, attempt $attempt: counted" "$TRACE" "(attempt $attempt of 3)"
    ((attempt > 1)) && check_contains "recording killed, attempt $attempt: the record was stale" "$TRACE" \
        ".aot: recording, but nothing runs behind it"
    start "$E2E_TMP/ready"
    check_contains "recording killed, attempt $attempt: the next start is plain" "$TRACE" \
        "plain start after a start that did not end in order"
done
start "$E2E_TMP/ready"
check_equal "three recordings killed: the next start runs" "0 done" "$RUN_STATUS $(grep -x done <<<"$RUN_STDOUT")"
check_contains "three recordings killed: no more recording" "$TRACE" "3 recordings ended without a cache; the archive is used"
check_equal "three recordings killed: classes from the archive" "shared objects file (top)" \
    "$(loaded_from corvid.probe.GcThenWait)"
start "$E2E_TMP/ready"
check_not_contains "three recordings killed: later starts do not record either" "$TRACE" "recording the AOT configuration"

# A killed recording, then a build killed before it wrote anything: each is
# recorded again, and the third recording's build makes the AOT cache.
configure "$newest" corvid.probe.GcThenWait stale-build
start "$E2E_TMP/ready"
start "$E2E_TMP/ready"
killed_recording
start "$E2E_TMP/ready"
start "$E2E_TMP/ready"
check_contains "killed recording: recorded again" "$TRACE" "(attempt 2 of 3)"
check_contains "killed recording: ... and ended in order" "$TRACE" "a detached build makes the AOT cache"
build_marker=""
for _ in $(seq 600); do
    compgen -G "$folder/*.build" >/dev/null && build_marker=$(compgen -G "$folder/*.build" | head -1) && break
    sleep 0.05
done
build_pid=${build_marker%.build}
build_pid=${build_pid##*.}
check "killed build: found it running" test -n "$build_pid"
[[ -n $build_pid ]] && kill -KILL "$build_pid"
check_equal "killed build: it left no AOT cache" "" "$(cd "$folder" && ls -- *.aot 2>/dev/null)"
start "$E2E_TMP/ready"
check_contains "killed build: the record was stale" "$TRACE" ".aot: building, but nothing runs behind it"
check_contains "killed build: recorded again" "$TRACE" "(attempt 3 of 3)"
check "killed build: the next build makes the AOT cache" wait_for_gone "$folder" '*.aotconf'
start "$E2E_TMP/ready"
check_contains "killed build: the start after checks the AOT cache" "$TRACE" "startup cache: checked app-"
check_equal "killed build: and runs" "0 done" "$RUN_STATUS $(grep -x done <<<"$RUN_STDOUT")"
