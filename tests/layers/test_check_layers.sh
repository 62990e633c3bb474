#!/usr/bin/env bash
# scripts/check-layers over small trees: a sound one passes; an include up a floor, the Qt host
# library reaching into the tool and a folder that is no floor are each named, and fail the check.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
put() {
  mkdir -p "$tree/$(dirname "$1")"
  printf '%s\n' "${@:2}" >"$tree/$1"
}

put board/include/board/CusrCHN.h '#pragma once'
put media/include/media/CusrMedia.h '#pragma once' '#include "board/CusrCHN.h"'
put app/include/app/CKelpconfApp.h '#pragma once'
put ui/framework/include/ui/Host.h '#pragma once'
put ui/qt/include/qtui/QtHost.h '#pragma once' '#include "ui/Host.h"'
put ui/qt/src/main.cpp '#include "app/CKelpconfApp.h"' '#include "qtui/QtHost.h"'
"$check" "$tree"

put board/src/CusrCHNMedia.cpp '#include "board/CusrCHN.h"' '#include "media/CusrMedia.h"'
put ui/qt/src/QtHost.cpp '#include "qtui/QtHost.h"' '  #  include "app/CKelpconfApp.h"'
put extra/src/Extra.cpp ''
if out=$("$check" "$tree" 2>&1); then
  echo "check-layers passed a tree with includes up the floors"
  exit 1
fi
expected='extra: not a floor of scripts/check-layers
board/src/CusrCHNMedia.cpp:2: includes media/CusrMedia.h, but media sits above board
ui/qt/src/QtHost.cpp:2: includes app/CKelpconfApp.h, but the Qt host library stands on ui/framework'
if [[ $out != "$expected" ]]; then
  diff <(echo "$expected") <(echo "$out")
  exit 1
fi
