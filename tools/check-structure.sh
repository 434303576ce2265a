#!/usr/bin/env bash
# Checks that dependencies point one way: app -> panel -> controls/audio/driver -> framework/res.
# Fails when a lower layer includes a higher one or a sibling, or when the driver layer touches
# a dialog's controls (it returns what it read; the panel shows it). The one include from the
# panel into app/ is the about box, which the panel opens and which itself includes nothing
# above framework/ and res/.
set -u
cd "$(dirname "$0")/.."

sources() { git ls-files -- "$1" | grep -E '\.(c|cc|cpp|h|hpp|inl|rc)$'; }

# layer, then the folders it must not include
rules=(
  "framework panel app controls audio driver"
  "res panel app controls audio driver framework"
  "controls panel app audio driver"
  "audio panel app controls driver"
  "driver panel app controls audio"
  "app/AboutDlg.h panel"
)
found=$(
  for rule in "${rules[@]}"; do
    set -- $rule
    layer=$1; shift
    pattern=$(IFS='|'; echo "$*")
    sources "$layer" | xargs -r grep -nHE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"($pattern)/"
  done
  git ls-files -- panel | grep -E '\.(cpp|h)$' | xargs -r grep -nHE '#[[:space:]]*include[[:space:]]*"app/' |
    grep -v '"app/AboutDlg.h"'
)
touching=$(sources driver | xargs -r grep -nHE '\b(SendDlgItemMessage[AW]?|EnableWindow|GetDlgItem)\b')

status=0
if [ -n "$found" ]; then
  printf 'structure: a lower layer includes a higher one or a sibling:\n%s\n' "$found"
  status=1
fi
if [ -n "$touching" ]; then
  printf 'structure: the driver layer touches dialog controls:\n%s\n' "$touching"
  status=1
fi
[ $status -eq 0 ] && echo "structure: dependencies point one way (app -> panel -> controls/audio/driver -> framework/res)"
exit $status
