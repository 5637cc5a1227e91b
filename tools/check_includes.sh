#!/usr/bin/env bash
# Checks that the folders of src/ include one another one way only, from the
# ground up: a file may include files of its own folder and of the folders on
# lower floors, never of a higher floor nor of a sibling on its own floor.
# Every folder of src/ stands on a floor; a new folder is added below.
#
#   tools/check_includes.sh [SRC_DIR]      (default: the src/ of this tree)
#
# Prints each include that runs the wrong way; the last line is
# "include order: N includes across folders, N wrong". The exit status is 1
# when one runs the wrong way or a folder stands on no floor.
set -u

# The floors, from the ground up; the folders on one floor are siblings. A
# tool's folder (brand, pack) stands on the lowest floor its includes allow,
# beside the launcher's own folders, none of which include it.
floors=(
    "platform"
    "start resources brand"
    "config ui java"
    "runtime"
    "cache instance splash pack"
    "jvm"
    "launcher"
)

src=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../src" && pwd)}
if [[ ! -d $src ]]; then
    echo "include order: no source folder $src"
    exit 1
fi

declare -A floor_of
for ((i = 0; i < ${#floors[@]}; ++i)); do
    for folder in ${floors[i]}; do floor_of[$folder]=$i; done
done

wrong=0
across=0
for dir in "$src"/*/; do
    folder=$(basename "$dir")
    if [[ -z ${floor_of[$folder]+set} ]]; then
        echo "src/$folder/ stands on no floor: add it to the floors in $0"
        wrong=$((wrong + 1))
    fi
done

pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"/]+)/([^"]*)"'
while IFS= read -r file; do
    relative=${file#"$src"/}
    folder=${relative%%/*}
    [[ -n ${floor_of[$folder]+set} ]] || continue
    number=0
    while IFS= read -r line || [[ -n $line ]]; do
        number=$((number + 1))
        [[ $line =~ $pattern ]] || continue
        target=${BASH_REMATCH[1]}
        [[ $target == "$folder" ]] && continue
        across=$((across + 1))
        if [[ -z ${floor_of[$target]+set} ]]; then
            echo "src/$relative:$number: includes $target/${BASH_REMATCH[2]}, a folder on no floor"
        elif ((floor_of[$target] > floor_of[$folder])); then
            echo "src/$relative:$number: $folder (floor $((floor_of[$folder] + 1))) includes" \
                "$target/${BASH_REMATCH[2]}, a floor above (floor $((floor_of[$target] + 1)))"
        elif ((floor_of[$target] == floor_of[$folder])); then
            echo "src/$relative:$number: $folder includes $target/${BASH_REMATCH[2]}, a sibling on its own floor"
        else
            continue
        fi
        wrong=$((wrong + 1))
    done <"$file"
done < <(find "$src" -mindepth 2 -type f | sort)

echo "include order: $across includes across folders, $wrong wrong"
((wrong == 0))
