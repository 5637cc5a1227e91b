#!/usr/bin/env bash
# Configures and builds presets (default: all four) into build/<preset>:
#
#   tools/build.sh [linux] [windows] [asan] [fuzz]
#
# linux: the native launcher, corvid-brand and the tests; windows: corvid.exe,
# corvidc.exe and corvid-brand.exe cross-built with MinGW-w64, with their
# tests for Wine; asan: the Linux tests with AddressSanitizer and
# UndefinedBehaviorSanitizer; fuzz: the libFuzzer targets, built with clang.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
presets=("$@")
[[ ${#presets[@]} -gt 0 ]] || presets=(linux windows asan fuzz)
jobs=${CORVID_BUILD_JOBS:-$(nproc)}

for preset in "${presets[@]}"; do
    started=$SECONDS
    log=build/$preset-build.log
    mkdir -p build
    echo "build: $preset"
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j "$jobs"; } >"$log" 2>&1; then
        # The errors, not the whole log.
        grep -E -B2 -A6 'error|Error|CMake Error' "$log" | head -60 >&2
        echo "build: $preset failed (full log: $log)" >&2
        exit 1
    fi
    echo "build: $preset done in $((SECONDS - started)) s"
done
