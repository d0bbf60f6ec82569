#!/usr/bin/env bash
# Our accounts reports against ledger and hledger on one generated book of 1,000,000 detail rows.
#   bash bench/compare.sh [BUILD_DIR]          (default: build; needs bench_compare and quoravel-admin)
# Environment: REPS (our repetitions, default 5), TOOL_REPS (ledger's and hledger's, default 3),
# ROWS (detail rows, default 1000000; ROWS=10000000 for ten million), WORK (folder for the
# journal, kept between runs; default /tmp/quoravel-compare), QV_BENCH_DIR (the embedded books,
# shared with the other benchmarks: bench/benchbook.h), QV_BENCH_SERVER=host:port (ours also on
# PostgreSQL, the same book written there), TOOL_MEM_GB (each tool run may take this much
# memory, default 16; beyond it the run is stopped and the table says so).
# Steps: writes the book (bench_compare benchbook) unless it is there, exports it with
# `quoravel-admin export --format ledger`, times each report (medians), checks that every account's
# balance in ledger's and hledger's `balance` equals our trial balance with opening to the cent,
# and prints a table of times, ratios and peak memory (/usr/bin/time -v: maximum resident set).
# Ours "in program": preparation plus the report's query, every row read, in an open session (what
# the user waits for after the button); "process": the same as a fresh process (start, login, one
# run, exit), like each tool command, which must read the whole journal every time.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bench=$build/bench/bench_compare
admin=$build/quoravel-admin
REPS=${REPS:-5}
TOOL_REPS=${TOOL_REPS:-3}
ROWS=${ROWS:-1000000}
work=${WORK:-${TMPDIR:-/tmp}/quoravel-compare}
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
for f in "$bench" "$admin"; do
  [ -x "$f" ] || { echo "compare.sh: $f is missing; build the targets bench_compare and quoravel-admin" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "compare.sh: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }
tools=()
for t in ledger hledger; do
  if command -v "$t" >/dev/null; then tools+=("$t"); else echo "compare.sh: $t is not installed; its column stays empty" >&2; fi
done
mkdir -p "$work"
journal=$work/book-$ROWS.journal
echo "The book ($ROWS detail rows; written unless it is there) ..."
book=$(QV_BENCH_SERVER= QV_BENCH_ROWS=$ROWS /usr/bin/time -f "  %e s, peak %M KB" "$bench" benchbook)
server_book=
if [ -n "${QV_BENCH_SERVER:-}" ]; then
  server_book=$(QV_BENCH_ROWS=$ROWS /usr/bin/time -f "  %e s, peak %M KB" "$bench" benchbook)
fi
TOOL_MEM_GB=${TOOL_MEM_GB:-16}
# capped CMD...: runs CMD in a memory cgroup of TOOL_MEM_GB (v1 or v2) when one can be made, so
# that a tool that outgrows the machine is stopped alone instead of starving it.
cg=
for base in /sys/fs/cgroup/memory /sys/fs/cgroup; do
  if [ -z "$cg" ] && mkdir -p "$base/quoravel-compare-$$" 2>/dev/null; then
    limit=$((TOOL_MEM_GB * 1024 * 1024 * 1024))
    if echo "$limit" >"$base/quoravel-compare-$$/memory.limit_in_bytes" 2>/dev/null \
      || echo "$limit" >"$base/quoravel-compare-$$/memory.max" 2>/dev/null; then
      cg=$base/quoravel-compare-$$
      echo 0 >"$cg/memory.swappiness" 2>/dev/null || true
    else
      rmdir "$base/quoravel-compare-$$"
    fi
  fi
done
trap '[ -n "$cg" ] && rmdir "$cg" 2>/dev/null; true' EXIT
# The prefix that runs a command in the cgroup: a command of its own, so that /usr/bin/time can
# run it (it cannot run a shell function).
in_cg=()
[ -n "$cg" ] && in_cg=(bash -c 'echo $$ >"$0/cgroup.procs" && exec "$@"' "$cg")
capped() { "${in_cg[@]}" "$@"; }
[ -n "$cg" ] && echo "Each tool run may take $TOOL_MEM_GB GB ($cg)" || echo "No memory cgroup: the tools run unbounded" >&2
if [ ! -f "$journal" ] || [ "$book" -nt "$journal" ]; then
  echo "Exporting it ..."
  /usr/bin/time -f "  %e s, peak %M KB" "$admin" export --server "$book" --user bench --password bench \
    --format ledger "$journal"
fi
mapfile -t info < <("$bench" info "$book")
first=${info[0]} last=${info[1]} yfrom=${info[2]} cash=${info[3]}
yend=$(date -d "$last + 1 day" +%F) # the tools' end dates are exclusive
export QV_BOOK_DATES="$first $last"
echo "Book: $first to $last; one year: $yfrom to $last; cash account: ${info[4]} own rows and ${info[5]} book lines in the year"
echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"

# measure N CMD...: median wall time in ms and the largest peak memory in MB of N runs;
# "- -" when a run failed (a tool stopped at its memory cap).
measure() {
  local n=$1; shift
  local times=() peak=0 out
  out=$(mktemp)
  for _ in $(seq "$n"); do
    /usr/bin/time -f "%e %M" -o "$out" "$@" >/dev/null 2>&1 || {
      echo "failed: $* ($(tail -1 "$out" 2>/dev/null))" >&2
      rm -f "$out"
      echo "- -"
      return 0
    }
    read -r s kb <"$out"
    times+=("$s")
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  rm -f "$out"
  local med
  med=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  echo "$(awk -v s="$med" 'BEGIN {printf "%.0f", s * 1000}') $((peak / 1024))"
}

reports=(tb-all tb-year tb-opening ledger cashbook)
declare -A title=([tb-all]="Trial balance, whole book (3 years)" [tb-year]="Trial balance, one year"
  [tb-opening]="Trial balance with opening, one year" [ledger]="Ledger of the busiest account (cash), one year"
  [cashbook]="Cash book, one year")
tool_args() { # tool report -> the tool's arguments for the same question
  case $2 in
    tb-all) echo "balance" ;;
    tb-year) echo "balance -b $yfrom -e $yend" ;;
    tb-opening) if [ "$1" = hledger ]; then echo "balance -H -b $yfrom -e $yend"; else echo "balance -e $yend"; fi ;;
    ledger | cashbook) echo "register -b $yfrom -e $yend" ;;
  esac
}
declare -A ours ourcpu proc peak tool pg pgcpu
for r in "${reports[@]}"; do
  echo "Timing ${title[$r]} ..."
  out=$(mktemp)
  medians=$(/usr/bin/time -f "%M" -o "$out" "$bench" time "$book" "$r" "$REPS" 2>/dev/null)
  read -r wall cpu <<<"$medians"
  ours[$r]=$wall
  ourcpu[$r]=$cpu
  peak[$r]=$(($(tail -1 "$out") / 1024))
  rm -f "$out"
  proc[$r]=$(measure "$REPS" "$bench" time "$book" "$r" 1)
  if [ -n "$server_book" ]; then
    read -r pg[$r] pgcpu[$r] <<<"$("$bench" time "$server_book" "$r" "$REPS" 2>/dev/null)"
  fi
  for t in "${tools[@]}"; do
    # The cash book is the cash account's register, the very command of the ledger row.
    if [ "$r" = cashbook ] && [ -n "${tool[$t,ledger]:-}" ]; then tool[$t,$r]=${tool[$t,ledger]}; continue; fi
    read -ra args <<<"$(tool_args "$t" "$r")"
    case $r in ledger | cashbook) args+=("$cash") ;; esac
    tool[$t,$r]=$(measure "$TOOL_REPS" "${in_cg[@]}" "$t" -f "$journal" "${args[@]}")
  done
done

echo "Checking the figures: every account's balance against our trial balance with opening ..."
agree=0
for t in "${tools[@]}"; do
  bal=$work/$t.balances
  echo -n "  $t: "
  if [ "$t" = ledger ]; then
    capped ledger -f "$journal" --flat --no-total --balance-format '%(account)\t%(display_total)\n' balance >"$bal" \
      || { echo "did not finish within $TOOL_MEM_GB GB"; continue; }
  else
    capped hledger -f "$journal" balance --flat --no-total -O csv >"$bal.csv" \
      || { echo "did not finish within $TOOL_MEM_GB GB"; continue; }
    tail -n +2 "$bal.csv" | sed -E 's/^"(.*)","(.*)"$/\1\t\2/' >"$bal"
  fi
  "$bench" agree "$book" "$bal" || agree=1
done
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

ms() { awk -v m="$1" 'BEGIN { if (m == "-") printf "did not finish"; else if (m >= 10000) printf "%.1f s", m / 1000; else printf "%.0f ms", m }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a != "-" && b > 0) printf "%.0f×", a / b; else printf "-" }'; }
header="| Report | Quoravel in program (CPU) | Quoravel process, peak | "
sep="|---|---|---|"
if [ -n "$server_book" ]; then header+="Quoravel on PostgreSQL (CPU) | "; sep+="---|"; fi
for t in "${tools[@]}"; do header+="$t, peak | "; sep+="---|"; done
for t in "${tools[@]}"; do header+="$t ÷ Quoravel | "; sep+="---|"; done
echo "${header% }"
echo "$sep"
for r in "${reports[@]}"; do
  read -r pms pmb <<<"${proc[$r]}"
  row="| ${title[$r]} | ${ours[$r]} ms (${ourcpu[$r]}) | $(ms "$pms"), ${pmb} MB | "
  if [ -n "$server_book" ]; then row+="${pg[$r]} ms (${pgcpu[$r]}) | "; fi
  for t in "${tools[@]}"; do
    read -r tms tmb <<<"${tool[$t,$r]}"
    if [ "$tms" = - ]; then row+="did not finish within $TOOL_MEM_GB GB | "; else row+="$(ms "$tms"), ${tmb} MB | "; fi
  done
  for t in "${tools[@]}"; do
    read -r tms _ <<<"${tool[$t,$r]}"
    row+="$(ratio "$tms" "${ours[$r]}") | "
  done
  echo "${row% }"
done
echo
echo "Book of $ROWS detail rows. Medians of $REPS runs (Quoravel) and $TOOL_REPS runs (tools), wall clock;"
echo "(CPU) = our process's CPU time (on PostgreSQL: the program's, not the server's);"
echo "peak = maximum resident set size; ratios = the tool's time over ours in program."
echo "Quoravel in program: peak ${peak[tb-all]} MB for $REPS whole trial balances in one process."
exit $agree
