#!/usr/bin/env bash
# Starts or stops a throwaway PostgreSQL 15 cluster on 127.0.0.1 for the test suites.
#   source .ci/pg.sh start   -> exports QUORAVEL_TEST_PG, QUORAVEL_TEST_PG_USER, QUORAVEL_TEST_PG_PASSWORD,
#                               QUORAVEL_PGDIR and QUORAVEL_TEST_PG_LOG (the server's log file)
#   .ci/pg.sh stop DIR
set -euo pipefail
PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
cmd=${1:-start}
if [ "$cmd" = start ]; then
  PGPORT=${PGPORT:-54329}
  # Take the next free port when another cluster already listens there.
  while (exec 3<>"/dev/tcp/127.0.0.1/$PGPORT") 2>/dev/null; do PGPORT=$((PGPORT + 1)); done
  PGDIR=$(mktemp -d /tmp/qvpg.XXXXXX)
  chown postgres:postgres "$PGDIR"
  (cd / && runuser -u postgres -- "$PGBIN/initdb" -D "$PGDIR/data" -U postgres --auth-local=peer \
      --auth-host=scram-sha-256 --encoding=UTF8 --locale=C.UTF-8 >"$PGDIR/initdb.log")
  (cd / && runuser -u postgres -- "$PGBIN/pg_ctl" -D "$PGDIR/data" -l "$PGDIR/server.log" -w -t 30 \
      -o "-c listen_addresses=127.0.0.1 -p $PGPORT -k $PGDIR -c fsync=off -c max_connections=200 \
      -c log_statement=all -c log_min_error_statement=error" start >/dev/null)
  (cd / && runuser -u postgres -- "$PGBIN/psql" -h "$PGDIR" -p "$PGPORT" -d postgres -v ON_ERROR_STOP=1 -q \
      -c "create role qvadmin login superuser password 'qvadmin-pw'")
  export QUORAVEL_TEST_PG="127.0.0.1:$PGPORT" QUORAVEL_TEST_PG_USER=qvadmin QUORAVEL_TEST_PG_PASSWORD=qvadmin-pw
  # Every statement is logged, so that a test can show that no password ever reaches the log.
  export QUORAVEL_PGDIR="$PGDIR" QUORAVEL_TEST_PG_LOG="$PGDIR/server.log"
  echo "PostgreSQL test cluster on 127.0.0.1:$PGPORT ($PGDIR)"
elif [ "$cmd" = stop ]; then
  dir=${2:-${QUORAVEL_PGDIR:-}}
  [ -n "$dir" ] && [ -d "$dir/data" ] || exit 0
  (cd / && runuser -u postgres -- "$PGBIN/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null) || true
  rm -rf "$dir"
fi
