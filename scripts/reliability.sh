#!/usr/bin/env bash
# The reliability figures at full size: 1,000 rounds of SIGKILL during voucher saves on the
# embedded book, then 4 stations saving 500 vouchers each at once, on the embedded file and on a
# throwaway PostgreSQL cluster, then the same stations through the failover of a primary to its
# synchronous standby (scripts/failover.sh). Run as root after a build (bash scripts/setup.sh test
# builds one).
#   bash scripts/reliability.sh [ROUNDS] [PROCS] [SAVES]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-1000}
procs=${2:-4}
saves=${3:-500}
tool=./build/qv-reliability
[ -x "$tool" ] || cmake --build build --target qv-reliability
work=$(mktemp -d /tmp/qv-reliability.XXXXXX)
trap 'rm -rf "$work"' EXIT

status=0
"$tool" crash --dir "$work/crash" --rounds "$rounds" --seed "$RANDOM" || status=1
mkdir -p "$work/stations"
"$tool" stations --server "$work/stations/Stations.sqlite" --procs "$procs" --saves "$saves" || status=1

# shellcheck source=/dev/null
source .ci/pg.sh start
trap 'bash .ci/pg.sh stop "$QUORAVEL_PGDIR"; rm -rf "$work"' EXIT
"$tool" stations --server "$QUORAVEL_TEST_PG" --catalog qv_reliability --procs "$procs" --saves "$saves" \
    --admin-user "$QUORAVEL_TEST_PG_USER" --admin-password "$QUORAVEL_TEST_PG_PASSWORD" || status=1
bash scripts/failover.sh "$procs" "$saves" || status=1
exit $status
