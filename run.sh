#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds the project and runs it.
#   bash run.sh        installs what is missing, builds, runs the main job on the sample database
#   bash run.sh test   the same set-up, then runs the whole test suite
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake g++ make pkg-config qt6-base-dev libsqlite3-dev libjpeg62-turbo-dev libgtest-dev libgmock-dev
          libbenchmark-dev python3-dbf libtiff-dev fonts-liberation2 fonts-dejavu-core poppler-utils valgrind xvfb xauth
          cups-daemon cups-client libcups2-dev clang libclang-rt-14-dev libxml2-dev libxml2-utils
          libxcb1-dev libfontconfig-dev libexpat1-dev qt6-translations-l10n)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "These packages are needed; install them and run again:"
    echo "sudo apt-get install -y ${missing[*]}"
    exit 1
  fi
fi

cmake --preset default >/dev/null
cmake --build --preset default

case "${1:-main}" in
  main)
    # The sample request file's checksheets as XML files, and one checksheet printed to PDF,
    # written into out/checksheets/ from the sample database.
    bin=build/default/bin
    out=out/checksheets
    mkdir -p "$out"
    rm -f "$out"/*.XML "$out"/*.pdf
    cp data/sample/requests.txt "$out/sample.txt"
    "$bin/klv3info" "$bin/"
    env -u DISPLAY -u WAYLAND_DISPLAY "$bin/vetrav3" X "$out/sample.txt"
    VETRA_PDF_FOLDER="$out" env -u DISPLAY -u WAYLAND_DISPLAY "$bin/print_checksheet" GB,en,107,4,Y,Y,Y,Y
    echo "Checksheets written to $out/:"
    ls "$out"
    ;;
  test)
    ctest --preset default
    ;;
  *)
    echo "usage: bash run.sh [main|test]" >&2
    exit 2
    ;;
esac
