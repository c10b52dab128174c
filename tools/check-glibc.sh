#!/bin/bash
# The Linux program goes onto every disk set and must start on the systems
# of the last five years (Debian 11, Ubuntu 20.04: glibc 2.31): fails when
# the program asks the C library for a symbol version newer than that, and
# names the symbols.
#
#   tools/check-glibc.sh PROGRAM...
set -euo pipefail
floor=2.31
status=0
for program in "$@"; do
  # objdump -T: "... (GLIBC_2.34) pthread_create" or "... GLIBC_2.34 name".
  offenders=$(objdump -T "$program" | awk -v floor="$floor" '
    function newer(v,   a, b, i) {
      split(v, a, "."); split(floor, b, ".")
      for (i = 1; i <= 3; i++) { if ((a[i] + 0) != (b[i] + 0)) return (a[i] + 0) > (b[i] + 0) }
      return 0
    }
    { for (i = 1; i <= NF; i++) if (match($i, /GLIBC_[0-9][0-9.]*/)) {
        v = substr($i, RSTART + 6, RLENGTH - 6)
        if (newer(v)) print "  " $NF " (GLIBC_" v ")"
      } }' | sort -u)
  if [ -n "$offenders" ]; then
    echo "$program needs a C library newer than glibc $floor for:" >&2
    echo "$offenders" >&2
    status=1
  else
    echo "$program: glibc $floor is enough"
  fi
done
exit $status
