#!/usr/bin/env bash
# Installs what building and running Postwick needs on Debian 12.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends build-essential cmake ninja-build libgtest-dev libgmock-dev \
  libbenchmark-dev qt6-base-dev qt6-base-dev-tools libgl-dev
