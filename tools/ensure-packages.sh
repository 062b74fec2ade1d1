#!/bin/sh
# Installs the Debian packages the build, the tests and the program need,
# when some are missing. As root it runs apt-get; otherwise it prints the
# exact command to run and fails.
set -eu

missing=""
for package in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing missing packages:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
else
  echo "Missing Debian packages. Install them with:" >&2
  echo "  sudo apt-get install -y$missing" >&2
  exit 1
fi
