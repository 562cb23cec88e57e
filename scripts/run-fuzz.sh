#!/bin/sh
# Builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer,
# UndefinedBehaviorSanitizer and Qt's assertions in build-fuzz, then runs
# each for FUZZ_SECONDS (60) seconds from its seed folder
# fuzz/seeds/<target>. Installs clang (and its runtime libraries) when
# missing. New inputs go to
# build-fuzz/corpus/<target>, a crashing input to build-fuzz/artifacts/<target>;
# the exit status is 1 when any target found one. The picture reader's
# targets (jpegpng, gifbmp, contactphoto) set their AddressSanitizer options
# themselves (fuzz/picturecheck.cpp), so a reproducer run by hand behaves
# the same: build-fuzz/fuzz-bin/fuzz_<target> <input>, with the options of
# options_of below.
set -eu
cd "$(dirname "$0")/.."
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-3}
TARGETS="vcard csv lines jpegpng gifbmp contactphoto"

# libFuzzer's limits of a target's inputs.
options_of() {
    case $1 in
    # Each input is decoded four times (two reads under each of two heap
    # fills). A JPEG of a few hundred bytes at the reader's bound of work
    # (kMaxDecodeWork) takes about a second a decode; the memory a decode
    # may hold, 1 GiB at most, with what AddressSanitizer and the process
    # hold besides, stays below 2 GB.
    jpegpng | contactphoto) echo "-timeout=10 -rss_limit_mb=2048" ;;
    # Two decodes of a GIF or BMP, our own decoders compiled with the
    # sanitizers and the fuzzer's coverage (libjpeg and libpng are not): the
    # costliest pictures within the bounds (a GIF as large as Qt's
    # allocation limit lets a picture be, one far wider than its screen,
    # one whose every row crosses its screen's edge, all of LZW strings
    # thousands of pixels long) take 7-10 s here, a hundred times more than
    # an ordinary picture; one that takes 25 s is beyond what they cost.
    gifbmp) echo "-timeout=25 -rss_limit_mb=2048" ;;
    *) echo "-timeout=10" ;;
    esac
}

# True when clang++ links a fuzz target with both sanitizers.
can_fuzz() {
    command -v clang++ >/dev/null 2>&1 || return 1
    tmp=$(mktemp -d)
    printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$tmp/t.cpp"
    rc=0
    clang++ -fsanitize=fuzzer,address,undefined "$tmp/t.cpp" -o "$tmp/t" >/dev/null 2>&1 || rc=1
    rm -rf "$tmp"
    return $rc
}

if ! can_fuzz; then
    SUDO=""
    if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q clang
    if ! can_fuzz; then
        major=$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "libclang-rt-$major-dev"
    fi
    can_fuzz || { echo "clang++ cannot build libFuzzer targets" >&2; exit 2; }
fi

SAN="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# Qt's own checks of its inline code (an index within a QByteArray or a
# QList, ...) stop the process as a finding, as they would in a debug build.
ASSERTS="-DQT_FORCE_ASSERTS"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$SAN -fsanitize=fuzzer-no-link" \
    -DCMAKE_CXX_FLAGS="$SAN $ASSERTS -fsanitize=fuzzer-no-link" \
    -DCMAKE_EXE_LINKER_FLAGS="$SAN" -DBUILD_FUZZ=ON -DAPP_WARNINGS_AS_ERRORS=OFF
targets=""
for t in $TARGETS; do targets="$targets fuzz_$t"; done
# shellcheck disable=SC2086
cmake --build "$BUILD" -j "$JOBS" --target $targets

status=0
for t in $TARGETS; do
    corpus="$BUILD/corpus/$t"
    artifacts="$BUILD/artifacts/$t"
    mkdir -p "$corpus" "$artifacts"
    echo "== fuzz_$t: $SECONDS_EACH s"
    # shellcheck disable=SC2046
    if ! QT_QPA_PLATFORM=offscreen "$BUILD/fuzz-bin/fuzz_$t" -max_total_time="$SECONDS_EACH" $(options_of "$t") \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" "fuzz/seeds/$t"; then
        echo "fuzz_$t: finding, input in $artifacts/" >&2
        status=1
    fi
done
exit $status
