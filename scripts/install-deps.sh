#!/bin/sh
# Installs the Debian packages the build, the tests and the application need,
# and the ones named as arguments ("make tidy" names clang-tidy), when any is
# missing. Safe to run again: it does nothing when all are there.
set -eu
PACKAGES="$* cmake ninja-build g++ pkg-config
qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
qt6-webengine-dev qt6-webengine-dev-tools qt6-5compat-dev qt6-svg-dev libgl-dev
libsqlite3-dev libjpeg-dev libpng-dev libbenchmark-dev fonts-dejavu-core xvfb xauth adb
python3 python3-vobject python3-icalendar poppler-utils clang-format"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
