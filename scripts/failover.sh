#!/usr/bin/env bash
# Failover with nothing lost, on this one machine with throwaway clusters:
#   - a primary and a synchronous streaming standby (synchronous_commit = on: COMMIT returns only
#     once the standby has the commit on its disk);
#   - a book made by `quoravel-admin init` on the primary;
#   - a check that reports go to the standby and saves to the primary (Data Source
#     "primary,standby?reports=standby"), and how far the standby lags;
#   - a check that with the standby stopped a save still ends within the limit and says so;
#   - STATIONS processes saving SAVES vouchers each, of all five kinds, through the voucher store,
#     with both servers in their Data Source, each acknowledging every save in its log;
#   - part-way (KILL_PERCENT of the saves acknowledged) the primary's processes are killed with
#     kill -9 and the standby promoted with pg_ctl promote; the stations carry on;
#   - at the end every log is checked against the book on the promoted server.
#
#   bash scripts/failover.sh [STATIONS] [SAVES] [KILL_PERCENT]     (as root, after a build)
#
# Exit 0 when nothing acknowledged was lost and nothing was saved twice; 77 when it cannot run
# here (not root, or no PostgreSQL 15). QUORAVEL_BUILD names the build folder (default build),
# KEEP=1 keeps the clusters' folder and the logs, PROMOTE_AFTER=SECONDS waits that long between
# the kill and the promotion (default 0).
set -euo pipefail
cd "$(dirname "$0")/.."
stations=${1:-4}
saves=${2:-500}
killAt=${3:-40}
build=${QUORAVEL_BUILD:-build}
PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
if [ "$(id -u)" != 0 ] || [ ! -x "$PGBIN/pg_ctl" ]; then
  echo "failover.sh needs root and PostgreSQL 15 in $PGBIN"
  exit 77
fi
tool=$build/qv-reliability
admin=$build/quoravel-admin
[ -x "$tool" ] && [ -x "$admin" ] || cmake --build "$build" --target qv-reliability quoravel-admin

freeport() {
  local p=$1
  while (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; do p=$((p + 1)); done
  echo "$p"
}
work=$(mktemp -d /tmp/qvfailover.XXXXXX)
chown postgres:postgres "$work"
mkdir "$work/logs"
pg() { (cd / && runuser -u postgres -- "$@"); }
psql1() { pg "$PGBIN/psql" -h "$work" -p "$p1" -d postgres -v ON_ERROR_STOP=1 -qAt -c "$1"; }
# Starts the cluster in $1 (log $2) on the first free port from $3 and sets $port. A port can be
# taken between the check and the start (a station's own end of a connection): then the next.
start() {
  local p=$3
  for _ in 1 2 3 4 5; do
    p=$(freeport "$p")
    if pg "$PGBIN/pg_ctl" -D "$1" -l "$2" -w -t 30 -o "-p $p" start >/dev/null; then
      port=$p
      return 0
    fi
    p=$((p + 1))
  done
  tail -n 20 "$2" >&2
  return 1
}
stationPids=()
cleanup() {
  for pid in "${stationPids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for d in standby primary; do
    if [ -f "$work/$d/postmaster.pid" ]; then
      pg "$PGBIN/pg_ctl" -D "$work/$d" -m immediate -w stop >/dev/null 2>&1 || true
    fi
  done
  if [ "${KEEP:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# 1. The primary: replication allowed from the standby's address, with a role of its own.
pg "$PGBIN/initdb" -D "$work/primary" -U postgres --auth-local=peer --auth-host=scram-sha-256 --encoding=UTF8 \
  --locale=C.UTF-8 >"$work/initdb.log"
cat >>"$work/primary/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$work'
wal_level = replica
max_wal_senders = 4
max_connections = 60
EOF
echo "host replication replicator 127.0.0.1/32 scram-sha-256" >>"$work/primary/pg_hba.conf"
start "$work/primary" "$work/primary.log" $((20000 + RANDOM % 10000)) # below the ephemeral ports
p1=$port
psql1 "create role qvadmin login superuser password 'qvadmin-pw'"
psql1 "create role replicator replication login password 'replicator-pw'"

# 2. The standby: a base backup of the primary that streams from it (-R writes standby.signal and
#    the connection, named standby1 to the primary), on a port of its own.
pg env PGPASSWORD=replicator-pw "$PGBIN/pg_basebackup" -h 127.0.0.1 -p "$p1" -U replicator -D "$work/standby" -R \
  -X stream -d "application_name=standby1" >/dev/null
# A lost primary is retried every 200 ms instead of every 5 s: PostgreSQL 15 finishes that wait
# before it acts on a promotion.
cat >>"$work/standby/postgresql.conf" <<EOF
wal_retrieve_retry_interval = 200ms
EOF
start "$work/standby" "$work/standby.log" $((p1 + 1))
p2=$port

# 3. Synchronous: every COMMIT waits until standby1 has it on disk.
psql1 "alter system set synchronous_standby_names = 'standby1'"
psql1 "alter system set synchronous_commit = 'on'"
psql1 "select pg_reload_conf()" >/dev/null
waitSync() {
  local state
  for _ in $(seq 300); do
    state=$(psql1 "select sync_state from pg_stat_replication where application_name = 'standby1'")
    [ "$state" = sync ] && return 0
    sleep 0.1
  done
  echo "the standby is not synchronous (state: ${state:-none})"
  exit 1
}
waitSync
echo "primary 127.0.0.1:$p1, synchronous standby 127.0.0.1:$p2"

# 4. The book, made on the primary.
printf '%s\n%s\n%s\n' "station pw" "lock" "qvadmin-pw" |
  "$admin" init --server "127.0.0.1:$p1" --user station --admin-user qvadmin --demo >/dev/null

status=0
# 5. Reports on the standby, saves on the primary.
"$tool" standby-check --server "127.0.0.1:$p1,127.0.0.1:$p2?reports=standby" --saves 20 || status=1

# 6. The standby away for a while: a save still ends, within the limit, and says so.
pg "$PGBIN/pg_ctl" -D "$work/standby" -m fast -w stop >/dev/null
"$tool" standby-down --server "127.0.0.1:$p1,127.0.0.1:$p2" --limit-ms 1000 || status=1
pg "$PGBIN/pg_ctl" -D "$work/standby" -l "$work/standby.log" -w -t 30 -o "-p $p2" start >/dev/null
waitSync

# 7. The stations, with both servers in their Data Source.
for i in $(seq "$stations"); do
  "$tool" failover-station --server "127.0.0.1:$p1,127.0.0.1:$p2" --station "$i" --saves "$saves" \
    >"$work/logs/station-$i.log" 2>"$work/logs/station-$i.err" &
  stationPids+=($!)
done
target=$((stations * saves * killAt / 100))
acked=0
while [ "$acked" -lt "$target" ]; do
  sleep 0.05
  acked=$(cat "$work"/logs/station-*.log | grep -c '^[0-9]* A ' || true)
  alive=0
  for pid in "${stationPids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
  [ "$alive" = 1 ] || break
done

# 8. The primary dies: its postmaster and every process of it, at once.
pm=$(head -1 "$work/primary/postmaster.pid")
kids=$(awk -v pm="$pm" '$4 == pm { printf "%s ", $1 }' /proc/[0-9]*/stat 2>/dev/null || true)
killMs=$(date +%s%3N)
# shellcheck disable=SC2086
kill -9 "$pm" $kids
sleep "${PROMOTE_AFTER:-0}" # as long as an operator or a watchdog takes to notice
pg "$PGBIN/pg_ctl" -D "$work/standby" -w -t 60 promote >/dev/null
promotedMs=$(date +%s%3N)
echo "pg_ctl promote returned $(awk -v a="$killMs" -v b="$promotedMs" 'BEGIN { printf "%.2f", (b - a) / 1000 }') s after the kill"

for pid in "${stationPids[@]}"; do wait "$pid" || { echo "a station ended with exit code $?"; status=1; }; done
stationPids=()
[ "$status" = 0 ] || cat "$work"/logs/station-*.err >&2 || true

# 9. The book on the promoted server against every station's log.
"$tool" failover-check --server "127.0.0.1:$p1,127.0.0.1:$p2" --logs "$work/logs" --kill-ms "$killMs" \
  --new-primary "127.0.0.1:$p2" || status=1
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
