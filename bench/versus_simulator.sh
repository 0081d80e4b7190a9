#!/usr/bin/env bash
# Whole-process processor time of "quorvat-cli analisar --exato" against one AC sweep of
# the same circuit (401 points, every node written to a raw file) by ngspice, run side by
# side, alternating, on the same machine. Not part of the suite: ngspice is optional.
#   bench/versus_simulator.sh [BUILD_DIR] [RUNS] NETLIST...
# Prints the median user+system time of each program per netlist, in milliseconds.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"; shift || true
runs="${1:-21}"; shift || true
cli="$build/cli/quorvat-cli"
command -v ngspice >/dev/null || { echo "ngspice não está instalado" >&2; exit 1; }
[ $# -gt 0 ] || set -- "$top/examples/ladder25.net" "$top/examples/amp_op_bipolar24.net"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The netlist as a SPICE deck: the impulse source becomes the AC source of 1 V; R, C, L
# and the controlled sources are written the same way in both languages.
to_deck() {
  awk 'NR == 1 { print "* " $0; next }
       /^\*/ { next }
       toupper(substr($1, 1, 1)) == "V" { print $1, $2, $3, "DC 0 AC 1"; next }
       { print }
       END { print ".ac dec 100 0.01 100"; print ".end" }' "$1"
}

median_ms() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", 1000 * v[int((NR + 1) / 2)] }'; }
# Processor time of one run in seconds: perf's task clock, counted from the exec (a
# forked launcher's own copy-on-write faults are not the program's); without perf, the
# child's resource usage, which includes them.
cpu() {
  if [ -n "$use_perf" ]; then
    perf stat -x, -e task-clock -o "$work/perf" -- "$@" >/dev/null 2>&1 || true
    awk -F, '/task-clock/ { printf "%.6f\n", $1 / 1000 }' "$work/perf"
    return
  fi
  python3 -c 'import os, sys
pid = os.fork()
if pid == 0:
    fd = os.open(os.devnull, os.O_WRONLY); os.dup2(fd, 1); os.dup2(fd, 2)
    os.execvp(sys.argv[1], sys.argv[1:])
_, _, use = os.wait4(pid, 0)
print(use.ru_utime + use.ru_stime)' "$@"
}

use_perf=""
if perf stat -x, -e task-clock -o "$work/perf" -- true >/dev/null 2>&1; then use_perf=1; fi
printf "%-28s %14s %14s\n" "circuito" "quorvat (ms)" "ngspice (ms)"
for net in "$@"; do
  name="$(basename "$net" .net)"
  cp "$net" "$work/$name.net"
  to_deck "$net" >"$work/$name.cir"
  : >"$work/q"; : >"$work/s"
  for _ in $(seq "$runs"); do
    cpu "$cli" analisar --exato "$work/$name.net" >>"$work/q"
    cpu ngspice -b -r "$work/$name.raw" "$work/$name.cir" >>"$work/s"
  done
  printf "%-28s %14s %14s\n" "$name" "$(median_ms <"$work/q")" "$(median_ms <"$work/s")"
done
