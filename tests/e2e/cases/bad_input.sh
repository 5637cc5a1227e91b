# Cases of the bad-input suites, run by both kinds: configuration files that
# are huge, binary, UTF-16 with and without a byte order mark, with NULs or
# 100,000-character lines, and thousands of arguments. Needs $exe beside
# $app/app.ini, $good_file (a configuration that starts main), $no_main (the
# message of one without a main class) and the suite's launch, expect_start
# and expect_message.

# 8 MB of key lines in a section of their own, the real keys after them.
perl_write "$app/app.ini" '"[Noise]$ENV{EOL}" . join("", map { "key$_=" . ("v" x 70) . $ENV{EOL} } 1 .. 100000)'
printf '%s' "$good_file" >>"$app/app.ini"
launch "huge file (8 MB)" "$exe" x
expect_start "huge file (8 MB)" 1

perl_write "$app/app.ini" 'join "", map { chr(int rand 256) } 1 .. 65536'
launch "binary file" "$exe"
expect_message "binary file" "$no_main"

perl_write "$app/app.ini" 'join("", map { chr(int rand 256) } 1 .. 65536)'
printf '%s%s' "$EOL" "$good_file" >>"$app/app.ini"
launch "binary bytes before the keys" "$exe"
expect_start "binary bytes before the keys" 0

printf '%s' "$good_file" | iconv -f UTF-8 -t UTF-16LE >"$app/app.ini"
launch "UTF-16LE without byte order mark" "$exe"
# Without a byte order mark UTF-16 is read as 8-bit text, in which no key is found.
expect_message "UTF-16LE without byte order mark" "$no_main"

{ printf '\xFF\xFE'; printf '%s' "$good_file" | iconv -f UTF-8 -t UTF-16LE; } >"$app/app.ini"
launch "UTF-16LE with byte order mark" "$exe"
expect_start "UTF-16LE with byte order mark" 0

{ printf '%s' "$good_file"; printf '[Other]%s\0\0\0=\0%s' "$EOL" "$EOL"; } >"$app/app.ini"
launch "NULs in another section" "$exe"
expect_start "NULs in another section" 0

long=$(printf 'a%.0s' $(seq 1 100000))
{ printf '%s%s%s' "$long" "$EOL" "$good_file"; printf '%s%s' "$long=$long" "$EOL"; } >"$app/app.ini"
launch "100,000-character lines around the keys" "$exe"
expect_start "100,000-character lines around the keys" 0

printf '%s' "${good_file/JRE Path=/Virtual Machine Parameters=-Dlong=$long -Dquote=\"$long${EOL}JRE Path=}" >"$app/app.ini"
launch "100,000-character VM parameters" "$exe"
expect_start "100,000-character VM parameters" 0
check_contains "100,000-character VM parameters: option whole" "$LOG" "option -Dlong=$long"$'\n'
check_contains "100,000-character VM parameters: unpaired quote kept" "$LOG" "option -Dquote=\"$long"

printf '%s' "$good_file" >"$app/app.ini"
mapfile -t many < <(seq 1 5000)
launch "5,000 arguments" "$exe" "${many[@]}"
expect_start "5,000 arguments" 5000
check_equal "5,000 arguments: the last in place" "arg 4999 5000" "$(grep '^arg 4999 ' <<<"$LOG")"
