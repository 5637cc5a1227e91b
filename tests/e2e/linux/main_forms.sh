# The forms in which java starts a program, each started through the Linux
# launcher and by `java` on the same runtime (OpenJDK 17 and Temurin 25 when
# present) with the same standard output and exit code: a class with its
# options, a runnable jar with its manifest, a module, a JavaFX application
# without main, Java 25's instance main; and the JVM's own words in the
# launcher's message when it refuses to start.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

sources=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../java/forms" && pwd)
jdk17=/usr/lib/jvm/java-17-openjdk-amd64
jdk25=/usr/lib/jvm/temurin-25-jdk-amd64
fx=/usr/share/openjfx/lib
if [[ ! -x $jdk17/bin/javac ]]; then
    fail "prerequisites" "needs $jdk17 with javac"
    exit 1
fi

# ---- the programs ------------------------------------------------------------------
work=$E2E_TMP/forms
mkdir -p "$work/lib" "$work/mods"
javac=$jdk17/bin/javac
jar=$jdk17/bin/jar
"$javac" -d "$work/lib-classes" "$sources"/lib/forms/lib/*.java &&
    "$javac" -d "$work/classes" -cp "$work/lib-classes" "$sources"/classpath/forms/*.java &&
    "$javac" -d "$work/module-classes" "$sources"/module/app/module-info.java "$sources"/module/app/app/*.java ||
    { fail "prerequisites" "the programs do not compile"; exit 1; }
printf 'Main-Class: forms.Probe\nClass-Path: lib/helper.jar\nAdd-Opens: java.base/java.lang\nLauncher-Agent-Class: forms.Agent\n' \
    >"$work/manifest.txt"
"$jar" cf "$work/lib/helper.jar" -C "$work/lib-classes" . &&
    "$jar" cfm "$work/app.jar" "$work/manifest.txt" -C "$work/classes" . &&
    "$jar" cfe "$work/mods/app.jar" app.Main -C "$work/module-classes" . ||
    { fail "prerequisites" "the jars cannot be made"; exit 1; }

"$jar" cf "$work/probe.jar" -C "$work/classes" . || { fail "prerequisites" "the probe jar cannot be made"; exit 1; }

# last_trace_line FILE: its last line without the time stamp.
last_trace_line() { tail -1 "$1" | sed 's/^ *[0-9.]* //'; }

app=$E2E_TMP/app.bin
install_launcher "$app"

# configure JDK KEY=VALUE [VM_PARAMETERS] [CLASS_PATH] [MORE_LINES]: an
# app.ini whose [Java Runtime Environment] has KEY=VALUE.
configure() {
    write_file "$E2E_TMP/app.ini" "[Java Runtime Environment]
$2
JRE Path=$1
Virtual Machine Parameters=${3:-}
[Class Path]
Class Path=${4:-}
${5:-}
"
}

# same NAME JDK "JAVA ARGUMENTS..." LAUNCHER_ARGUMENTS...: java and the
# launcher print the same and end with the same code. Both run in $work.
same() {
    local name=$1 jdk=$2 java_arguments=$3
    shift 3
    local java_out java_status
    run_captured bash -c "cd '$work' && exec '$jdk/bin/java' $java_arguments"
    java_out=$RUN_STDOUT java_status=$RUN_STATUS
    run_captured bash -c 'cd "$0" && exec "$@"' "$work" "$app" "$@"
    check_equal "$name: standard output as java's" "$java_out" "$RUN_STDOUT"
    check_equal "$name: exit code $java_status as java's" "$java_status" "$RUN_STATUS"
}

for jdk in "$jdk17" "$jdk25"; do
    if [[ ! -f $jdk/lib/server/libjvm.so ]]; then
        echo "  (skipped: no $jdk)"
        continue
    fi
    v=$(basename "$jdk" | grep -o '[0-9][0-9]' | head -1)

    configure "$jdk" "Main Class=forms.Probe" "--add-opens=java.base/java.lang=ALL-UNNAMED" "$work/classes"
    same "$v: class, --add-opens, sun.java.command" "$jdk" \
        "--add-opens=java.base/java.lang=ALL-UNNAMED -cp classes forms.Probe open command 'two words'" \
        open command "two words"
    same "$v: an exception escaping main" "$jdk" "-cp classes forms.Probe throw" throw

    # ---- what the program sees of its start ----------------------------------------
    # Its input arguments are java's (the launcher's own documented property
    # given to java too), so a program that starts itself again through them,
    # as programs restart themselves, comes back the same.
    executable="-Dcorvid.executable=$app"
    options="-Xmx64m --add-opens java.base/java.lang=ALL-UNNAMED"
    configure "$jdk" "Main Class=forms.Probe" "$options -Dx=\"a b\"" "$work/classes"
    same "$v: input arguments and sun.java.launcher as java's, a relaunch through them" "$jdk" \
        "$options '-Dx=a b' $executable -cp classes forms.Probe inputs launcher relaunch inputs launcher open exit=3" \
        inputs launcher relaunch inputs launcher open exit=3
    check_equal "$v: the relaunched program ran" 2 "$(grep -c '^inputs=\[-Xmx64m, --add-opens=java.base/java.lang=ALL-UNNAMED, -Dx=a b, -Dcorvid' <<<"$RUN_STDOUT")"
    check_contains "$v: sun.java.launcher as java sets it" "$RUN_STDOUT" "launcher=SUN_STANDARD"

    # The same with the start-up cache on, through its first five starts: its
    # options never reach the program, whatever the mode.
    run_captured bash -c "cd '$work' && exec '$jdk/bin/java' $options $executable -cp probe.jar forms.Probe inputs relaunch inputs exit=3"
    java_out=$RUN_STDOUT java_status=$RUN_STATUS
    configure "$jdk" "Main Class=forms.Probe
Startup Cache=Yes" "$options" "probe.jar" "[Product Information]
Product Name=Forms
Product Code=relaunch-$v"
    if ((v >= 25)); then
        modes=("creating app-" "checked app-" "recording the AOT configuration" "checked app-.*[.]aot" "-XX:AOTCache=")
    else
        modes=("creating app-" "checked app-" "using app-" "using app-" "using app-")
    fi
    for n in 1 2 3 4 5; do
        run_captured XDG_CACHE_HOME="$E2E_TMP/cache" CORVID_TRACE="$E2E_TMP/cache.trace" \
            bash -c 'cd "$0" && exec "$1" inputs relaunch inputs exit=3' "$work" "$app"
        check_equal "$v: start-up cache, start $n: the relaunch's output as java's" "$java_out" "$RUN_STDOUT"
        check_equal "$v: start-up cache, start $n: exit code $java_status as java's" "$java_status" "$RUN_STATUS"
        check "$v: start-up cache, start $n: ${modes[n - 1]}" grep -q -e "${modes[n - 1]}" "$E2E_TMP/cache.trace"
        rm -f "$E2E_TMP/cache.trace"
        # The detached build of the AOT cache ends before the next start checks it.
        ((n == 3 && v >= 25)) && for _ in $(seq 180); do
            compgen -G "$E2E_TMP/cache/Forms/relaunch-$v/corvid-cache/*.aotconf" >/dev/null || break
            sleep 0.5
        done
    done

    # java's class path options in the VM parameters: the class path where
    # [Class Path] is empty; never an option for the JVM.
    for form in "-cp classes" "-classpath classes" "--class-path classes" "--class-path=classes"; do
        configure "$jdk" "Main Class=forms.Probe" "$form -Dy=1" ""
        same "$v: $form in the VM parameters" "$jdk" "$form -Dy=1 $executable forms.Probe inputs command" inputs command
    done
    configure "$jdk" "Main Class=forms.Probe" "-cp nowhere -Dy=1" "$work/classes"
    run_captured CORVID_TRACE="$E2E_TMP/cp.trace" "$app" inputs
    check_equal "$v: -cp besides [Class Path]: [Class Path] wins" "0 inputs=[-Dy=1, $executable]"$'\n' "$RUN_STATUS $RUN_STDOUT"
    check "$v: -cp besides [Class Path]: the trace says it was dropped" \
        grep -q -- "-cp nowhere dropped from the VM parameters: \[Class Path\] is set" "$E2E_TMP/cp.trace"

    configure "$jdk" "Main Jar=$work/app.jar"
    same "$v: runnable jar: Class-Path, Add-Opens, Launcher-Agent-Class" "$jdk" \
        "-jar $work/app.jar helper open agent command" helper open agent command

    # java refuses a jar it cannot open before a JVM exists; so does the launcher, in java's words.
    configure "$jdk" "Main Jar=missing.jar"
    run_captured bash -c "cd '$work' && exec '$jdk/bin/java' -jar missing.jar"
    java_words=${RUN_STDERR#Error: }
    run_captured bash -c 'cd "$0" && exec "$1"' "$work" "$app"
    check_equal "$v: a jar that cannot be opened: java's words" "app.bin: $java_words" "$RUN_STDERR"
    check_equal "$v: a jar that cannot be opened: exit -1" 255 "$RUN_STATUS"

    configure "$jdk" "Main Module=app" "--module-path=mods"
    same "$v: module with its own main class" "$jdk" "--module-path=mods -m app x y" x y
    configure "$jdk" "Main Module=app/app.Main" "--module-path=mods"
    same "$v: module/class" "$jdk" "--module-path=mods -m app/app.Main" 

    configure "$jdk" "Main Module=nope" "--module-path=mods"
    run_captured "$app"
    check_equal "$v: missing module: a failed start" 255 "$RUN_STATUS"
    check_equal "$v: missing module: named once, in the message" 1 "$(grep -c 'Module nope not found' <<<"$RUN_STDOUT$RUN_STDERR")"
    check_contains "$v: missing module: the JVM's words are the reason" "$RUN_STDERR" \
        "app.bin: JNI exception: failed to create the Java VM Reason: Error occurred during initialization of boot layer java.lang.module.FindException: Module nope not found."

    for refusal in "-Xmx25:Error occurred during initialization of VM Too small maximum heap" "--frobnicate:Unrecognized option: --frobnicate"; do
        configure "$jdk" "Main Class=forms.Probe" "${refusal%%:*}" "$work/classes"
        run_captured CORVID_TRACE="$E2E_TMP/refusal.trace" "$app"
        check_equal "$v: ${refusal%%:*}: a failed start" 255 "$RUN_STATUS"
        check_equal "$v: ${refusal%%:*}: the JVM's words are the reason" \
            "app.bin: JNI exception: failed to create the Java VM Reason: ${refusal#*:}." "${RUN_STDERR%$'\n'}"
        check_equal "$v: ${refusal%%:*}: said once" 1 "$(grep -c "${refusal#*:}" <<<"$RUN_STDOUT$RUN_STDERR")"
        check_equal "$v: ${refusal%%:*}: the trace ends with the exit code" "exit code -1" \
            "$(last_trace_line "$E2E_TMP/refusal.trace")"
    done

    configure "$jdk" "Main Class=forms.Missing" "" "$work/classes"
    run_captured "$app"
    check_equal "$v: missing class: a failed start" 255 "$RUN_STATUS"
    check_equal "$v: missing class: the runtime's words in the message, once" \
        "app.bin: Failed to load Main Class: forms.Missing. Error: Could not find or load main class forms.Missing Caused by: java.lang.ClassNotFoundException: forms.Missing" \
        "${RUN_STDERR%$'\n'}"
done

# ---- the main-class check's words go to no file another user can plant ---------------
# Links and pipes under every name a predictable scheme would use, in $TMPDIR
# and in /tmp, for the very process id the start gets (exec keeps it).
victim=$E2E_TMP/victim.txt
planted=$E2E_TMP/planted
mkdir -p "$planted"
missing="app.bin: Failed to load Main Class: forms.Missing. Error: Could not find or load main class forms.Missing Caused by: java.lang.ClassNotFoundException: forms.Missing"
for plant in "link:$planted" "fifo:$planted" "link:/tmp" "fifo:/tmp"; do
    kind=${plant%%:*} dir=${plant#*:}
    where=/tmp
    [[ $dir == "$planted" ]] && where='$TMPDIR'
    for main in forms.Missing forms.Probe; do
        name="a $kind planted in $where, $main"
        configure "$jdk17" "Main Class=$main" "" "$work/classes"
        write_file "$victim" "precious"
        tmpdir=(env -u TMPDIR)
        [[ $dir == "$planted" ]] && tmpdir=(env TMPDIR="$planted")
        run_captured "${tmpdir[@]}" bash -c 'echo $$ >"$2.pid"
            if [[ $0 == link ]]; then ln -s "$2" "$1/corvid-main-check-$$.txt"; else mkfifo "$1/corvid-main-check-$$.txt"; fi
            exec "${@:3}"' "$kind" "$dir" "$victim" "$app" x
        rm -f "$dir/corvid-main-check-$(cat "$victim.pid").txt"
        if [[ $main == forms.Missing ]]; then
            check_equal "$name: the runtime's words in the message" "$missing" "${RUN_STDERR%$'\n'}"
        else
            check_equal "$name: the program runs" $'0 argument x\n' "$RUN_STATUS $RUN_STDOUT"
        fi
        check_equal "$name: the linked file is untouched" "precious" "$(cat "$victim")"
    done
done

# ---- System.exit ends the trace too -------------------------------------------------
configure "$jdk17" "Main Class=corvid.probe.Exit" "" "$CORVID_BUILD_DIR/tests/java/classes"
run_captured CORVID_TRACE="$E2E_TMP/exit.trace" "$app" 7
check_equal "System.exit(7): the exit code" 7 "$RUN_STATUS"
check_equal "System.exit(7): the trace ends with it" "exit code 7" "$(last_trace_line "$E2E_TMP/exit.trace")"

# ---- Java 25 only ----------------------------------------------------------------------
if [[ -x $jdk25/bin/javac ]]; then
    "$jdk25/bin/javac" -d "$work/classes25" "$sources"/instance/forms/*.java
    configure "$jdk25" "Main Class=forms.Instance" "" "$work/classes25"
    same "25: an instance main without parameters" "$jdk25" "-cp classes25 forms.Instance"

    configure "$jdk25" "Main Class=forms.Probe" "" "$work/classes"
    run_captured "$app" native
    check_contains "25: a restricted method warns without native access" "$RUN_STDERR" "WARNING: A restricted method"
    configure "$jdk25" "Main Class=forms.Probe" "--enable-native-access=ALL-UNNAMED" "$work/classes"
    same "25: --enable-native-access" "$jdk25" "--enable-native-access=ALL-UNNAMED -cp classes forms.Probe native" native
    check_not_contains "25: --enable-native-access: no warning" "$RUN_STDERR" "WARNING"
fi

# ---- JavaFX without main (Debian's openjfx on 17) -----------------------------------------
if [[ -d $fx ]] && command -v Xvfb >/dev/null; then
    "$javac" -d "$work/fx-classes" --module-path "$fx" --add-modules javafx.graphics "$sources"/fx/forms/*.java
    _WINE_ENV_DIR=$E2E_TMP/x
    mkdir -p "$_WINE_ENV_DIR"
    if _wine_env_start_xvfb; then
        configure "$jdk17" "Main Class=forms.FxApp" "--module-path=$fx --add-modules=javafx.graphics" "$work/fx-classes"
        same "17: a JavaFX application without main" "$jdk17" \
            "--module-path=$fx --add-modules=javafx.graphics -cp fx-classes forms.FxApp a b" a b

        # java's -splash: in the VM parameters: the splash picture where
        # [Display] names none, otherwise dropped; never a JVM option.
        convert -size 120x80 xc:navy "$work/option.png" && convert -size 200x100 xc:gold "$work/display.png"
        for jdk in "$jdk17" "$jdk25"; do
            [[ -f $jdk/lib/libsplashscreen.so ]] || continue
            v=$(basename "$jdk" | grep -o '[0-9][0-9]' | head -1)
            configure "$jdk" "Main Class=forms.Probe" "-splash:option.png" "$work/classes"
            same "$v: -splash: in the VM parameters" "$jdk" \
                "-splash:option.png -Dcorvid.executable=$app -cp classes forms.Probe splash inputs" splash inputs
            check_contains "$v: -splash: in the VM parameters: its picture shows" "$RUN_STDOUT" "splash 120x80"
            configure "$jdk" "Main Class=forms.Probe" "-splash:option.png" "$work/classes" "[Display]
Splash Screen=display.png"
            run_captured bash -c 'cd "$0" && exec "$1" splash inputs' "$work" "$app"
            check_equal "$v: -splash: besides [Display] Splash Screen: the configured picture, no option" \
                "0 splash 200x100 display.png"$'\n'"inputs=[-Dcorvid.executable=$app]"$'\n' "$RUN_STATUS $RUN_STDOUT"
        done
        kill "$_WINE_ENV_XVFB" 2>/dev/null
        wait "$_WINE_ENV_XVFB" 2>/dev/null
    else
        fail "JavaFX" "could not start Xvfb"
    fi
else
    fail "JavaFX" "needs Debian's openjfx in $fx and Xvfb"
fi
