# Cases of the single-instance suites, run by both kinds. Needs a first
# instance whose secondaryMainInt answers with its first argument,
# start_second ARGS...: a second start as one plain command, and count_lines
# TEXT LINE: how often LINE stands in TEXT.

# Twenty at once: each delivered exactly once, each with its own answer.
declare -A pids
for i in $(seq 1 20); do
    start_second $((100 + i)) "tag$i" >/dev/null 2>&1 </dev/null &
    pids[$i]=$!
done
wrong=()
for i in $(seq 1 20); do
    status=0
    wait "${pids[$i]}" || status=$?
    [[ $status == $((100 + i)) ]] || wrong+=("start $i ended with $status")
done
if [[ ${#wrong[@]} == 0 ]]; then pass "20 at once: every start got its own answer"; else fail "20 at once: every start got its own answer" "${wrong[@]}"; fi

# check_delivered_once TEXT LINE: the line of every start (LINE I prints start
# I's) stands in TEXT exactly once.
check_delivered_once() {
    local i n missing=()
    for i in $(seq 1 20); do
        n=$(count_lines "$1" "$("$2" "$i")")
        [[ $n == 1 ]] || missing+=("tag$i delivered $n times")
    done
    if [[ ${#missing[@]} == 0 ]]; then pass "20 at once: each delivered exactly once"; else fail "20 at once: each delivered exactly once" "${missing[@]}"; fi
}
