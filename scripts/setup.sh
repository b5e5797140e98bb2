#!/usr/bin/env bash
# Installs what building and running Postwick needs on Debian 12 (asks for
# root through sudo when not run as root).
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then exec sudo "$0" "$@"; fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends build-essential cmake ninja-build libgtest-dev libssl-dev \
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6
