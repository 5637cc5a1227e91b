# Cases of the configuration-file suites: which file beside the program each
# kind reads, and which it must not.
no_main_class="[Java Runtime Environment]${EOL}Minimum Version=1.6${EOL}"
with_main_class="[Java Runtime Environment]${EOL}Main Class=decoy.Main${EOL}"

# kind | program | the file it must read | a file it must not read
case=0
while IFS='|' read -r kind program expected decoy; do
    [[ $kind == "$E2E_KIND" ]] || continue
    case=$((case + 1))
    dir=$E2E_TMP/rule$case
    install_launcher "$dir/$program"
    write_file "$dir/$expected" "$no_main_class"
    [[ -n $decoy ]] && write_file "$dir/$decoy" "$with_main_class"
    run_shown LC_ALL=C CORVID_TRACE="$(host_path "$dir/trace")" "$dir/$program"
    check_equal "$program: status -1" 255 "$RUN_STATUS"
    check_shown "$program: reads $expected" "Main class was not specified in INI file."
    check_contains "$program: traces $expected" "$(<"$dir/trace")" "configuration file $(host_path "$dir/$expected")"$'\n'
done <<'TABLE'
linux|app.bin|app.ini|app.bin.ini
linux|my.tool.bin|my.tool.ini|my.ini
linux|app|app.ini|
linux|Tools 1.2/tool|Tools 1.2/tool.ini|Tools 1.ini
wine|MyApp.exe|MyApp.ini|MyApp.exe.ini
wine|my.tool.exe|my.tool.ini|my.ini
wine|Tools 1.2/tool|Tools 1.ini|Tools 1.2/tool.ini
TABLE
