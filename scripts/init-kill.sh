#!/usr/bin/env bash
# Kills `quoravel-admin init --demo` with SIGKILL at a random moment, ROUNDS times (default 200),
# and checks what is left at the book's path: no file or a complete book, never anything else.
# Odd rounds make a new book; even rounds replace a complete one with --force (the old book or
# the new one must be there afterwards).
#   bash scripts/init-kill.sh [path/to/quoravel-admin] [ROUNDS]
set -euo pipefail
ADMIN=$(realpath "${1:-build/quoravel-admin}")
ROUNDS=${2:-200}
command -v sqlite3 >/dev/null || { echo "needs the sqlite3 command"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
book=$work/books/Fendral.sqlite
export XDG_RUNTIME_DIR=$work

init() { # USER [--force]: passwords on standard input, as an operator would give them
  printf 'pw of %s\nlock\n' "$1" | "$ADMIN" init --server "$book" --user "$1" --demo "${@:2}" >/dev/null 2>"$work/err" \
    || { echo "init $1 failed: $(cat "$work/err")"; exit 1; }
}
printf 'pw of new\nlock\n' >"$work/new.pw"
# What a complete book holds (the same for every complete demo book), and its first login.
# Read from a copy of the file with its journals, opened as the program would (a journal left
# by the kill is rolled back there), so the book itself is not touched.
signature() {
  rm -rf "$work/check"; mkdir -p "$work/check"
  cp "$1" "$work/check/book"
  for j in -wal -shm -journal; do [ -e "$1$j" ] && cp "$1$j" "$work/check/book$j"; done
  sqlite3 "$work/check/book" "pragma integrity_check; select count(*) from sqlite_master;
    select count(*) from Accounts; select count(*) from MasJV; select count(*) from DetJV;
    select count(*) from LctPswd; select count(*) from Menus; select count(*) from Logins;" 2>&1 | tr '\n' ' ' || true
}
owner() { sqlite3 "$work/check/book" "select UserName from Logins" 2>/dev/null || true; }

start=$(date +%s%N)
init reference
full_ms=$(( ($(date +%s%N) - start) / 1000000 ))
want=$(signature "$book")
case "$want" in ok\ *) ;; *) echo "the reference book is not sound: $want"; exit 1 ;; esac
rm -f "$book" "$book"-*
echo "one complete init --demo: ${full_ms} ms; a complete book: $want"

none=0 old=0 new=0 bad=0 with_journal=0 litter_max=0 killed=0 finished=0 failed=0
for round in $(seq 1 "$ROUNDS"); do
  force=()
  if (( round % 2 == 0 )); then
    rm -f "$book" "$book"-*; init old; force=(--force)
  else
    rm -f "$book" "$book"-*
  fi
  delay_ms=$(( RANDOM % (full_ms * 2 + 1) ))
  # Started directly (no subshell, no pipe), so that the kill reaches quoravel-admin itself.
  "$ADMIN" init --server "$book" --user new --demo "${force[@]}" <"$work/new.pw" >/dev/null 2>&1 &
  pid=$!
  sleep "$(printf '0.%03d' "$delay_ms")" 2>/dev/null || sleep "$((delay_ms / 1000))"
  kill -9 "$pid" 2>/dev/null || true
  status=0; wait "$pid" 2>/dev/null || status=$?
  case $status in
    0) finished=$((finished + 1)) ;;
    137) killed=$((killed + 1)) ;;
    *) failed=$((failed + 1)); echo "round $round: init failed by itself (exit $status)" ;;
  esac
  litter=$(find "$work/books" -name '.Fendral.sqlite.*' | wc -l)
  journals=$(find "$work/books" -name 'Fendral.sqlite-*' | wc -l)
  (( journals > 0 )) && with_journal=$((with_journal + 1))
  (( litter > litter_max )) && litter_max=$litter
  if [ ! -e "$book" ]; then
    if (( ${#force[@]} )); then bad=$((bad + 1)); echo "round $round: the old book is gone"; else none=$((none + 1)); fi
  else
    got=$(signature "$book")
    if [ "$got" != "$want" ]; then
      bad=$((bad + 1)); echo "round $round (after ${delay_ms} ms): an incomplete book: $got"
    elif [ "$(owner "$book")" = new ]; then new=$((new + 1)); else old=$((old + 1)); fi
  fi
done
# The next init clears what the killed ones left beside the book.
rm -f "$book" "$book"-*; init after
left=$(find "$work/books" -name '.Fendral.sqlite.*' | wc -l)
perms=$(stat -c %a "$book")
echo "rounds: $ROUNDS (killed while running: $killed, finished before the kill: $finished, failed: $failed)"
echo "afterwards: no file $none, the old book $old, a complete new book $new, anything else $bad"
echo "rounds that left a journal beside the book (rolled back at the next open): $with_journal"
echo "temporary files beside the book: at most $litter_max after a kill, $left after the next init; book mode $perms"
[ "$bad" -eq 0 ] && [ "$left" -eq 0 ] && [ "$failed" -eq 0 ]
