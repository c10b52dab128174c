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
#   bench/runs.sh callgrind KELVOD WORK OUT                instructions of one make run
#        (--jobs 1) and one extract run, whole processes; OUT keeps callgrind's files
#   bench/runs.sh compare OLD NEW WORK OUT [RUNS] [ROUNDS]  hyperfine: make (--jobs 1 and 2)
#        and extract runs of WORK by two builds, in ROUNDS rounds (default 3) that
#        take turns, RUNS runs each (default 5); means of wall and CPU time (user +
#        system), which load from other jobs disturbs less
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

# The help text is read whole first: grep -q would stop reading early, and
# pipefail would then take kelvod's broken pipe for "no --jobs".
takes_jobs() { "$1" --help 2>/dev/null | grep -c -- '--jobs' >/dev/null; }

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
  callgrind)
    kelvod=$(realpath "$2") work=$(realpath "$3") out=$(realpath -m "$4")
    mkdir -p "$out"
    rm -rf "$out/set" "$out/game" "$out"/*.cg
    cg=(valgrind --tool=callgrind --trace-children=yes)
    (cd "$work" && printf 'dest %s\nrun\nok\n' "$out/set" |
      "${cg[@]}" --callgrind-out-file="$out/make.%p.cg" "$kelvod" --tty --jobs 1 . \
        2>"$out/make.log" >/dev/null)
    (cd "$out/set" && printf 'dest %s\nrun\nok\nok\n' "$out/game" |
      XDG_DATA_HOME="$out/xdg" "${cg[@]}" --callgrind-out-file="$out/extract.%p.cg" ./kelvod --tty \
        2>"$out/extract.log" >/dev/null)
    for run in make extract; do
      awk -v run="$run" '/Collected/ { n += $NF } END { printf "%s: %.0f instructions\n", run, n }' \
        "$out/$run.log"
    done
    ;;
  compare)
    old=$(realpath "$2") new=$(realpath "$3") work=$(realpath "$4") out=$(realpath -m "$5")
    runs=${6:-5} rounds=${7:-3}
    mkdir -p "$out"
    for b in old new; do
      rm -rf "$out/set-$b"
      make_run "${!b}" "$work" "$out/set-$b"
    done
    for r in $(seq "$rounds"); do
      for j in 1 2; do
        hyperfine -N -r "$runs" -w 1 --export-json "$out/make-$j-$r.json" \
          --prepare "rm -rf '$out/set'" -n old -n new \
          "'$here/runs.sh' make '$old' '$work' '$out/set' --jobs $j" \
          "'$here/runs.sh' make '$new' '$work' '$out/set' --jobs $j" >/dev/null
      done
      hyperfine -N -r "$runs" -w 1 --export-json "$out/extract-$r.json" \
        --prepare "rm -rf '$out/game'" -n old -n new \
        "'$here/runs.sh' extract '$out/set-old' '$out/game'" \
        "'$here/runs.sh' extract '$out/set-new' '$out/game'" >/dev/null
    done
    for run in make-1 make-2 extract; do
      jq -r --arg run "$run" -s '[.[].results[]] | group_by(.command) | reverse[] |
        (map(.times[]) | add / length) as $wall |
        (map(.user * (.times | length)) | add) as $u | (map(.system * (.times | length)) | add) as $s |
        (map(.times | length) | add) as $n |
        "\($run) \(.[0].command): wall \($wall * 1000 | round) ms, CPU \(($u + $s) / $n * 1000 | round) ms (user \($u / $n * 1000 | round), system \($s / $n * 1000 | round)), \($n) runs"' \
        "$out/$run"-*.json
    done
    ;;
  *) sed -n '2,25p' "$0"; exit 2 ;;
esac
