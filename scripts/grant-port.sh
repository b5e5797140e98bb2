#!/usr/bin/env bash
# Lets the built program listen on port 25 without running as root, by
# giving the executable the one capability it needs for that.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v setcap >/dev/null || { apt-get install -y -qq libcap2-bin; }
setcap 'cap_net_bind_service=+ep' build/postwick
echo "build/postwick may now listen on ports below 1024."
