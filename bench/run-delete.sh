#!/usr/bin/env bash
# Speed and memory of a delete run: quorvel-verify --delete=source --yes over
# trees of 20,000 matching files, in one run, warm cache:
#   (c) 20,000 files of different names      (200 folders of 100 files)
#   (d) 20,000 files of one name              (one Thumbs.db per folder)
#   (e) as (d), the trash already holding 20,000 Thumbs.db from a run before
# Each run verifies the pair and moves every Source file to a trash of its
# own (HOME and XDG_DATA_HOME point into the data folder), then removes the
# emptied folders. The reference is `diff -rq` followed by `gio trash` of the
# same files (the desktop's own trash command), where gio is installed.
# BASELINE=/path/to/another/quorvel-verify adds its figures for the same
# data (an earlier build, say); BASELINE_TIMEOUT (seconds, default 1200)
# bounds each of its runs, REFERENCE_TIMEOUT (default 600) each reference
# run.
# A ratio above 1.0 means quorvel-verify was faster.
#   bench/run-delete.sh [DATA_FOLDER]     (default: bench/data)
set -euo pipefail
cd "$(dirname "$0")/.."
data=$(realpath -m "${1:-bench/data}")
[ -x /usr/bin/time ] || { echo "bench needs GNU time: apt-get install time" >&2; exit 2; }
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvel-verify >/dev/null
verify=$(realpath "$build/cli/quorvel-verify")
baseline=${BASELINE:-}
timing=$(mktemp)
trap 'rm -f "$timing"' EXIT

make_template() { # folder kind(names|same)
  [ -d "$1/dst" ] && return
  mkdir -p "$1"
  python3 - "$1" "$2" <<'PY'
import os, sys
top, kind = sys.argv[1], sys.argv[2]
for side in ("src", "dst"):
    for i in range(20000):
        if kind == "same":
            folder, name = os.path.join(top, side, "album%05d" % i), "Thumbs.db"
        else:
            folder, name = os.path.join(top, side, "album%03d" % (i // 100)), "photo%05d.jpg" % i
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"%08d" % i * 64)
PY
}

echo "Making data in $data (once) ..."
make_template "$data/delete-names" names
make_template "$data/delete-same" same
work="$data/delete-work"

# fresh Source and Target copies and an empty trash (not timed); with
# "filled", the trash first gets the Source files of one untimed run
prepare() { # template empty|filled
  rm -rf "$work/src" "$work/dst" "$work/home"
  mkdir -p "$work/home"
  cp -a "$1/src" "$1/dst" "$work/"
  if [ "$2" = filled ]; then
    in_home "$verify" --quiet --delete=source --yes "$work/src" "$work/dst" >/dev/null 2>&1 || true
    rm -rf "$work/src" "$work/dst"
    cp -a "$1/src" "$1/dst" "$work/"
  fi
}

in_home() { HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" "$@"; }

# wall time and peak RSS of one run; "timeout" when it did not end in time
run() { # template empty|filled limit command...
  local template=$1 trash=$2 limit=$3; shift 3
  prepare "$template" "$trash"
  in_home /usr/bin/time -f '%e %M %x' -o "$timing" timeout "$limit" "$@" >/dev/null 2>&1 || true
  local t m x left
  read -r t m x <<<"$(tail -n 1 "$timing")"
  if [ "$x" = 124 ]; then echo "timeout 0"; return; fi
  left=$(find "$work/src" -type f 2>/dev/null | wc -l)
  [ "$left" -eq 0 ] || echo "error: $left Source files left after: $*" >&2
  echo "$t $m"
}

reference() { # src dst
  diff -rq "$1" "$2" >/dev/null && find "$1" -type f -print0 | xargs -0 -n 1000 gio trash && find "$1" -depth -type d -empty -delete
}

report() { # name ours [baseline] [reference]
  awk -v n="$1" -v o="$2" -v b="$3" -v r="$4" 'function fmt(label, s,   t, m) {
      split(s, p, " "); t = p[1]; m = p[2];
      if (t == "timeout") return sprintf(" | %s: over its time limit", label);
      return sprintf(" | %s %8.2f s %7.1f MiB peak", label, t, m / 1024) }
    BEGIN {
      split(o, q, " ");
      line = sprintf("%-44s quorvel-verify %8.2f s %7.1f MiB peak", n, q[1], q[2] / 1024);
      if (b != "") { line = line fmt("baseline", b); split(b, x, " "); if (x[1] != "timeout" && q[1] > 0) line = line sprintf(" (%.2fx)", x[1] / q[1]) }
      if (r != "") { line = line fmt("diff -rq + gio trash", r); split(r, y, " "); if (y[1] != "timeout" && q[1] > 0) line = line sprintf(" (%.2fx)", y[1] / q[1]) }
      print line }'
}

row() { # name template empty|filled
  local ours base="" ref=""
  ours=$(run "$2" "$3" 3600 "$verify" --quiet --delete=source --yes "$work/src" "$work/dst")
  # A trash that already holds the names only makes a baseline that probes
  # names one by one slower than (d); it is not run again for (e).
  [ -n "$baseline" ] && [ "$3" = empty ] && base=$(run "$2" "$3" "${BASELINE_TIMEOUT:-1200}" "$baseline" --quiet --delete=source --yes "$work/src" "$work/dst")
  if command -v gio >/dev/null; then
    export -f reference
    ref=$(run "$2" "$3" "${REFERENCE_TIMEOUT:-600}" bash -c 'reference "$0" "$1"' "$work/src" "$work/dst")
  fi
  report "$1" "$ours" "$base" "$ref"
}

row "(c) 20,000 files, different names" "$data/delete-names" empty
row "(d) 20,000 files named Thumbs.db" "$data/delete-same" empty
row "(e) as (d), 20,000 already in the trash" "$data/delete-same" filled
rm -rf "$work"
