#!/bin/bash
# Whole make and extract runs of kelvod, driven through the terminal front
# end, against compressing and expanding the same bytes as one file. The
# figures of docs/performance.md ("Whole runs") come from here; nothing of
# this runs in CI.
#
#   bench/runs.sh make   KELVOD WORK SET [EXTRA_OPTIONS]   one make run of WORK into SET
#   bench/runs.sh extract SET GAME                         one extract run of SET into GAME
#   bench/runs.sh time   KELVOD WORK OUT [RUNS]            hyperfine: make and extract runs
#        of WORK (--jobs 1 and 2 when KELVOD takes it) and --compress / --expand of
#        the concatenated files, RUNS times each (default 5); results in OUT/*.md
#   bench/runs.sh once   KELVOD WORK OUT [OPTIONS]         one make and one extract run:
#        wall, user and system time and peak resident memory of each
#   bench/runs.sh strace KELVOD WORK OUT                   syscall counts of the extract run
#
# WORK is a folder that holds a project file (*.qzm) and the game's files
# (bench/make_many_files.py, bench/fetch_game_folder.sh). Runs are under
# eatmydata where it is installed, so that the disk's write-back does not
# decide the figures.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
nosync=$(command -v eatmydata || true)

make_run() {  # KELVOD WORK SET [OPTIONS...]  (SET must not exist)
  local kelvod=$1 work=$2 set=$3
  shift 3
  (cd "$work" && printf 'dest %s\nrun\nok\n' "$set" | $nosync "$kelvod" --tty "$@" . >/dev/null 2>&1)
  [ -f "$set/$(basename "$kelvod").lst" ] || { echo "make run of $work failed" >&2; return 1; }
}

extract_run() {  # SET GAME  (GAME must not exist)
  local set=$1 game=$2
  (cd "$set" && printf 'dest %s\nrun\nok\nok\n' "$game" |
    XDG_DATA_HOME="$game.xdg" $nosync ./kelvod --tty >/dev/null 2>&1)
}

# The work folder's files one after the other, as one file (the project
# file left out).
concatenate() {  # WORK OUT
  (cd "$1" && find . -type f ! -name '*.qzm' -print0 | LC_ALL=C sort -z | xargs -0 cat) >"$2"
}

takes_jobs() { "$1" --help | grep -q -- '--jobs'; }

case ${1:-} in
  make) shift; make_run "$@" ;;
  extract) shift; extract_run "$@" ;;
  time)
    kelvod=$(realpath "$2") work=$(realpath "$3") out=$(realpath -m "$4") runs=${5:-5}
    mkdir -p "$out"
    concatenate "$work" "$out/all.bin"
    jobs=("")
    takes_jobs "$kelvod" && jobs=("--jobs 1" "--jobs 2")
    for j in "${jobs[@]}"; do
      tag=make${j:+-${j##* }}
      hyperfine -r "$runs" -w 1 --export-markdown "$out/$tag.md" --prepare "rm -rf '$out/set'" \
        "'$here/runs.sh' make '$kelvod' '$work' '$out/set' $j"
    done
    rm -rf "$out/set"
    make_run "$kelvod" "$work" "$out/set"
    hyperfine -r "$runs" -w 1 --export-markdown "$out/extract.md" --prepare "rm -rf '$out/game'" \
      "'$here/runs.sh' extract '$out/set' '$out/game'"
    diff <(cd "$work" && find . -type f | sort) \
      <(cd "$out/game" && find . -type f | sort) >/dev/null
    hyperfine -r "$runs" -w 1 --export-markdown "$out/compress.md" --prepare "rm -f '$out/all.lzs'" \
      "$nosync '$kelvod' --compress '$out/all.bin' '$out/all.lzs'"
    hyperfine -r "$runs" -w 1 --export-markdown "$out/expand.md" --prepare "rm -f '$out/all.out'" \
      "$nosync '$kelvod' --expand '$out/all.lzs' '$out/all.out'"
    cmp "$out/all.bin" "$out/all.out"
    ;;
  once)
    kelvod=$(realpath "$2") work=$(realpath "$3") out=$(realpath -m "$4")
    shift 4
    mkdir -p "$out"
    rm -rf "$out/set" "$out/game"
    fmt='%e s wall, %U s user, %S s system, %M KiB peak'
    (cd "$work" && printf 'dest %s\nrun\nok\n' "$out/set" |
      /usr/bin/time -f "make: $fmt" $nosync "$kelvod" --tty "$@" . 2>&1 >/dev/null | tail -1)
    (cd "$out/set" && printf 'dest %s\nrun\nok\nok\n' "$out/game" |
      XDG_DATA_HOME="$out/xdg" /usr/bin/time -f "extract: $fmt" $nosync ./kelvod --tty \
        2>&1 >/dev/null | tail -1)
    ;;
  strace)
    kelvod=$(realpath "$2") work=$(realpath "$3") out=$(realpath -m "$4")
    mkdir -p "$out"
    rm -rf "$out/set" "$out/game"
    make_run "$kelvod" "$work" "$out/set"
    # -f: extract mode goes on in a copy of the program.
    (cd "$out/set" && printf 'dest %s\nrun\nok\nok\n' "$out/game" |
      XDG_DATA_HOME="$out/xdg" strace -f -c -o "$out/extract.strace" ./kelvod --tty >/dev/null 2>&1)
    files=$(cd "$work" && find . -type f ! -name '*.qzm' | wc -l)
    echo "extract of $files files:"
    awk -v n="$files" 'NR > 2 && $NF != "total" && $4 ~ /^[0-9]+$/ {
        printf "  %-16s %8d  %6.2f per file\n", $NF, $4, $4 / n }
      $NF == "total" { printf "  %-16s %8d  %6.2f per file\n", "total", $4, $4 / n }' \
      "$out/extract.strace"
    ;;
  *) sed -n '2,20p' "$0"; exit 2 ;;
esac
