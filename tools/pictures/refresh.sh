#!/bin/sh
# Refreshes the reference pictures of the picture suite (tests/pictures/references) after an
# intended change of what is drawn: builds the suite, flies every flight with the suite's fixed
# options and writes each chosen frame over its reference where its pixels changed. Prints each
# picture as new, changed (with how far it moved) or the same; review the changed ones with
# `git diff --stat tests/pictures/references` and an image viewer before committing them. A flight
# whose chosen frames no longer draw what it is for (its trees or buildings, or none from high up)
# keeps its old pictures and is named with what its frames drew instead: aim it again first.
# A flight on another world than the default one (world7.flight) makes that world's maps first.
#
#   tools/pictures/refresh.sh [RUN_DIR]     RUN_DIR defaults to build/run
set -eu
here=$(cd "$(dirname "$0")" && pwd)
run_dir=$(cd "${1:-$here/../../build/run}" && pwd)
build_dir=$(dirname "$run_dir")
cmake --build "$build_dir" --target reference_picture_tests
log="$build_dir/tests/pictures/refresh.log"
mkdir -p "$(dirname "$log")"
status=0
SDL_VIDEODRIVER=offscreen MERIDIA_PICTURE_REFRESH=1 "$build_dir/tests/reference_picture_tests" \
  > "$log" 2>&1 || status=$?
grep '^refresh: ' "$log" | sed 's/^refresh: //'
echo "$(grep -c '^refresh: changed' "$log" || true) changed," \
  "$(grep -c '^refresh: new' "$log" || true) new," \
  "$(grep -c '^refresh: same' "$log" || true) the same"
if [ "$status" -ne 0 ]; then
  grep 'no longer shows what it is for' "$log" | sed 's/: the flight no longer.*//' >&2 || true
  echo "the suite failed: a flight did not finish or no longer shows what it is for; see $log" >&2
  exit "$status"
fi
