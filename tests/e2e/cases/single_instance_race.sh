# The race of the single-instance suites: starts spread over the time in
# which first instances end. Needs race_start I (start I in the background,
# forwarding "$((100 + I)) docI" and writing its exit status to
# $E2E_TMP/race/I) and handled_count I (how often docI reached secondaryMain
# or a main of its own).

# run_race NAME N GAP FIRST_ENDS [EXIT_CODE]: N starts GAP seconds apart;
# FIRST_ENDS runs after the fifth. Each document is handled exactly once: by
# the instance it was handed to, or by its own start, which became a first
# instance when the one that took it ended without serving it. With
# EXIT_CODE (the code instances end with through System.exit) a start may
# end with it unhandled: the exit came while its int secondaryMain was
# called, and the JVM may stop a thread before the method's first line.
run_race() {
    local name=$1 n=$2 gap=$3 first_ends=$4 exit_code=${5:-} i status count pids=() lost=() twice=() failed=() cut=0
    rm -rf "$E2E_TMP/race"
    mkdir -p "$E2E_TMP/race"
    for ((i = 1; i <= n; i++)); do
        race_start "$i" &
        pids+=($!)
        ((i == 5)) && $first_ends
        sleep "$gap"
    done
    wait "${pids[@]}"
    for ((i = 1; i <= n; i++)); do
        status=$(cat "$E2E_TMP/race/$i" 2>/dev/null || echo "no status")
        count=$(handled_count "$i")
        if ((count > 1)); then
            twice+=("doc$i handled $count times")
        elif ((count == 0)); then
            # The first instance's exit code or the start's own code would
            # tell the user that the document was opened.
            if [[ $status == 0 || $status == $((100 + i)) ]]; then
                lost+=("doc$i: ended with $status")
            elif [[ $status == "$exit_code" ]]; then
                cut=$((cut + 1))
            else
                failed+=("doc$i: ended with $status")
            fi
        fi
    done
    if [[ ${#lost[@]} == 0 ]]; then pass "$name: no start ends with 0 or its code while its document is lost"; else fail "$name: no start ends with 0 or its code while its document is lost" "${lost[@]}"; fi
    if [[ ${#twice[@]} == 0 ]]; then pass "$name: no document handled twice"; else fail "$name: no document handled twice" "${twice[@]}"; fi
    if [[ ${#failed[@]} == 0 ]]; then
        pass "$name: every document of $n handled${exit_code:+ or cut off by System.exit ($cut)}"
    else
        fail "$name: every document of $n handled${exit_code:+ or cut off by System.exit}" "${failed[@]}"
    fi
}
