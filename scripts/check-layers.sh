#!/usr/bin/env bash
# Layers, bottom to top: platform; intake and log on platform (log also reads
# addresses from intake); delivery on intake and log; core on those; app on
# core; ui on app. A file under src/ may include only from its own folder and
# the folders below it (the entry point app/main.cpp also from ui, to plug the
# windows in), and nothing below app includes Qt. Prints every file that
# breaks the rule and fails.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A below=(
  [platform]=""
  [intake]="platform"
  [log]="intake platform"
  [delivery]="intake log platform"
  [core]="delivery intake log platform"
  [app]="core delivery intake log platform"
  [ui]="app core delivery intake log platform"
  [tools]="core delivery intake log platform"
)
qt_free="platform intake log delivery core tools"

# Known breaks being moved away; each line is "file: included header". The
# check fails when one of them no longer occurs, so the list cannot go stale.
exceptions=(
)

# contains WORD ITEMS...: whether WORD is one of ITEMS.
contains() {
  local word=$1 item
  shift
  for item in "$@"; do [ "$item" = "$word" ] && return 0; done
  return 1
}

broken=0
used=()
while IFS= read -r file; do
  folder=${file%%/*}
  if [ -z "${below[$folder]+set}" ]; then
    echo "$file: folder '$folder' has no place in the layers"
    broken=1
    continue
  fi
  read -ra allowed <<<"$folder ${below[$folder]}"
  [ "$file" = app/main.cpp ] && allowed+=(ui)
  while IFS= read -r header; do
    target=${header%%/*}
    contains "$target" "${allowed[@]}" && continue
    if contains "$file: $header" "${exceptions[@]}"; then
      used+=("$file: $header")
      continue
    fi
    echo "$file includes $header: $target is not below $folder"
    broken=1
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\/[^"]*\)".*/\1/p' "$file")
  if contains "$folder" $qt_free && grep -Eq '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file"; then
    echo "$file includes Qt, which stays above core"
    broken=1
  fi
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)

for exception in "${exceptions[@]}"; do
  if ! contains "$exception" "${used[@]}"; then
    echo "exception no longer needed, remove it from $0: $exception"
    broken=1
  fi
done
exit $broken
