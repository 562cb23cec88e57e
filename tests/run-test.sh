#!/bin/sh
# Runs one test binary with a private HOME and XDG folders, so that the data
# root of the application under test never is the real user's.
set -u
sandbox=$(mktemp -d "${TMPDIR:-/tmp}/apptest.XXXXXX") || exit 1
trap 'rm -rf "$sandbox"' EXIT INT TERM
mkdir -p "$sandbox/home" "$sandbox/data" "$sandbox/config" "$sandbox/cache" "$sandbox/runtime" "$sandbox/tmp"
chmod 700 "$sandbox/runtime"
export HOME="$sandbox/home"
export XDG_DATA_HOME="$sandbox/data"
export XDG_CONFIG_HOME="$sandbox/config"
export XDG_CACHE_HOME="$sandbox/cache"
export XDG_RUNTIME_DIR="$sandbox/runtime"
export TMPDIR="$sandbox/tmp"
export APP_TEST_SANDBOX="$sandbox"
# The run's record of tests stopped because their data root lay outside
# their sandbox (src/shell/core/dataroot.cpp): one line each, "<seconds
# since 1970> <test program> <data root>". test_dataroot, which runs last,
# reads it.
export APP_TEST_ESCAPES="${APP_BINARY_DIR:-$sandbox}/Testing/data-roots-outside-the-sandbox.log"
export QT_QPA_PLATFORM="${APP_TEST_QPA:-offscreen}"
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox --disable-background-networking"
export LC_ALL=C.UTF-8
# The maker's web service stays off in tests unless a test points it at a stub.
unset APP_WEB_SERVICE_URL
"$@"
status=$?
note="$sandbox/data-root-outside-the-sandbox"
if [ -s "$note" ]; then
  mkdir -p "$(dirname "$APP_TEST_ESCAPES")"
  printf '%s %s %s\n' "$(date +%s)" "$(basename "$1")" "$(cat "$note")" >>"$APP_TEST_ESCAPES"
fi
exit $status
