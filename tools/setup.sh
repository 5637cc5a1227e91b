#!/usr/bin/env bash
# Installs what building and testing corvid needs on Debian 12. Needs root
# (or sudo); installs only what is missing, so it is quick on a prepared
# machine.
set -euo pipefail

packages=(
    cmake make g++                                      # the Linux build
    googletest libgtest-dev                             # unit tests (sources for the cross build too)
    g++-mingw-w64-x86-64-posix mingw-w64-tools          # the Windows cross build
    binutils-mingw-w64-x86-64                           # objdump and strings for the executable checks
    wine wine64                                         # Windows tests
    fonts-wine libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 libxcomposite1 libxfixes3  # what Wine's windows use
    xvfb xauth x11-utils util-linux                     # a display for them (Xvfb, xauth, xdpyinfo, mcookie)
    imagemagick                                         # screenshots of that display (import), test icons (convert)
    osslsigncode openssl                                # signing a branded executable in the tests
    wixl msitools                                       # corvid-pack's installers (wixl, msibuild) and their tests (msiinfo)
    unzip zlib1g-dev                                    # reading back corvid-pack's archives in the tests
    openjdk-17-jdk-headless                             # a Java runtime and javac for the sample and JVM tests
    openjdk-17-jre                                      # the runtime's splash library (lib/libsplashscreen.so)
    openjfx                                             # JavaFX for the main-forms suite's JavaFX application
    perl coreutils findutils                            # the test scripts
    locales                                             # locale sources the Wine suites compile with localedef
    clang clang-14 libclang-rt-14-dev                   # the fuzz preset: clang with libFuzzer and the sanitizer runtimes
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [[ ${#missing[@]} == 0 ]]; then
    echo "setup: all ${#packages[@]} packages present"
    exit 0
fi

sudo=()
[[ $(id -u) == 0 ]] || sudo=(sudo)
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o Dpkg::Use-Pty=0 "${missing[@]}" >/dev/null
echo "setup: done"
