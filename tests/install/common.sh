# Shared by the install tests: a private work folder, a private home, and a way to fail.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
need() {
  command -v "$1" >/dev/null || fail "$1 is missing ($2; scripts/setup.sh installs it)"
}
# Nothing the installed programs do may reach the real home.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"
mkdir -m 0700 -p "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime

# Runs an installed tree as a user would: a demo book made by its quoravel-admin, a report from
# its installed templates (marked first, so that the PDF proves where the template came from),
# a backup and a restore, and the program itself started.
#   use_tree ROOT   (ROOT holds bin/ and share/)
use_tree() {
  local root=$1 admin=$1/bin/quoravel-admin book=$work/books/Fendral.sqlite
  [ -z "$(find "$root/bin" -name '*.rpt')" ] || fail "templates beside the installed programs hide the installed ones"
  # Read whole first: grep -q stops at the first match and would cut the writer off (pipefail).
  "$admin" --help >"$work/help.txt" || fail "quoravel-admin --help failed"
  grep -q "backup --server FILE" "$work/help.txt" || fail "quoravel-admin --help lacks the backup command"
  "$admin" init --server "$book" --user anna --password 'pw 1' --lock-password lock --demo \
    || fail "the installed quoravel-admin could not make a demo book"
  sed -i 's/^title "CHART OF ACCOUNTS"$/title "CHART OF ACCOUNTS FROM SHARE"/' "$root/share/quoravel/templates/rptChartAC.rpt"
  "$admin" report rptChartAC --server "$book" --user anna --password 'pw 1' --pdf "$work/chart.pdf" \
    || fail "the installed quoravel-admin could not print the chart of accounts"
  pdftotext -layout "$work/chart.pdf" "$work/chart.txt"
  grep -q "CHART OF ACCOUNTS FROM SHARE" "$work/chart.txt" || fail "the report did not use the installed template"
  grep -q "Subsidiary" "$work/chart.txt" || fail "the report shows no accounts"
  "$admin" backup --server "$book" --to "$work/saved" || fail "backup failed"
  local saved
  saved=$(find "$work/saved" -name 'Fendral-*.sqlite')
  [ -n "$saved" ] || fail "backup wrote no file"
  "$admin" restore --from "$saved" --server "$book" | grep -q "replaced book is kept" || fail "restore failed"
  # The program starts (libraries, platform plugin) and waits at its login window.
  local rc=0
  QT_QPA_PLATFORM=offscreen timeout 5 "$root/bin/quoravel" >"$work/run.log" 2>&1 || rc=$?
  [ "$rc" -eq 124 ] || { cat "$work/run.log" >&2; fail "the installed program ended at once (exit $rc)"; }
}
