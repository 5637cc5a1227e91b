#!/usr/bin/env bash
# Builds the release packages: the Windows zip and the Linux tar.gz, which
# also carries the Windows launchers (so corvid-pack on Linux makes Windows
# images and installers). Needs both presets, built here if need be:
#
#   tools/package.sh      -> build/windows/corvid-<version>-windows-x64.zip
#                            build/linux/corvid-<version>-linux-x64.tar.gz
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
tools/build.sh windows linux
for preset in windows linux; do
    log=build/$preset-package.log
    if ! cmake --build --preset "$preset" --target package >"$log" 2>&1; then
        grep -E -A3 'Error|error' "$log" | head -20 >&2
        echo "package: $preset failed (full log: $log)" >&2
        exit 1
    fi
    sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$log"
done
