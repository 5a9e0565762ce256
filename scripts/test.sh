#!/usr/bin/env bash
# Builds with warnings as errors, starts a private MariaDB loaded with the
# sample catalogue, runs every test against it, then repeats the tests in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib.sh
source "$ROOT/scripts/lib.sh"

trevin_install_packages
JOBS=$(trevin_jobs)
BUILD="$ROOT/build-test"
BUILD_SAN="$ROOT/build-sanitize"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREVIN_WERROR=ON
ninja -C "$BUILD" -j"$JOBS"
ninja -C "$BUILD" format-check

GENCAT="$BUILD/tools/trevin_gencat"
if [ ! -x "$GENCAT" ]; then
    echo "test.sh: the catalogue generator ($GENCAT) was not built" >&2
    exit 1
fi

# ---- private MariaDB on a free loopback port ----
WORK=$(mktemp -d /tmp/trevin-test.XXXXXX)
DATADIR="$WORK/data"
SOCKET="$WORK/mysqld.sock"
DB_PID=""
cleanup() {
    if [ -n "$DB_PID" ] && kill -0 "$DB_PID" 2>/dev/null; then
        kill "$DB_PID" 2>/dev/null || true
        for _ in $(seq 1 60); do
            kill -0 "$DB_PID" 2>/dev/null || break
            sleep 0.5
        done
        kill -9 "$DB_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}
PORT=""
for _ in $(seq 1 200); do
    candidate=$((20000 + RANDOM % 30000))
    [ "$candidate" -eq 33306 ] && continue
    if ! port_in_use "$candidate"; then
        PORT=$candidate
        break
    fi
done
[ -n "$PORT" ] || { echo "test.sh: no free port found" >&2; exit 1; }

DB_USER=$(id -un)
mariadb-install-db --no-defaults --datadir="$DATADIR" --user="$DB_USER" \
    --auth-root-authentication-method=normal --skip-test-db >"$WORK/install.log" 2>&1 ||
    { cat "$WORK/install.log" >&2; exit 1; }
mariadbd --no-defaults --datadir="$DATADIR" --user="$DB_USER" --port="$PORT" \
    --bind-address=127.0.0.1 --socket="$SOCKET" --pid-file="$WORK/mysqld.pid" \
    --log-error="$WORK/mysqld.err" --skip-log-bin --innodb-buffer-pool-size=64M &
DB_PID=$!
for _ in $(seq 1 120); do
    if mariadb-admin --no-defaults --socket="$SOCKET" -uroot ping >/dev/null 2>&1; then
        break
    fi
    kill -0 "$DB_PID" 2>/dev/null || { cat "$WORK/mysqld.err" >&2; exit 1; }
    sleep 0.5
done
mariadb-admin --no-defaults --socket="$SOCKET" -uroot ping >/dev/null ||
    { cat "$WORK/mysqld.err" >&2; exit 1; }

ROOTSQL=(mariadb --no-defaults --socket="$SOCKET" -uroot)
# The anonymous accounts of a fresh data folder would shadow '%' for local
# logins, so the test user exists for localhost too.
"${ROOTSQL[@]}" <<'SQL'
CREATE USER 'mysql_user'@'%' IDENTIFIED BY 'trevin';
CREATE USER 'mysql_user'@'localhost' IDENTIFIED BY 'trevin';
CREATE USER 'mysql_user'@'127.0.0.1' IDENTIFIED BY 'trevin';
GRANT ALL PRIVILEGES ON *.* TO 'mysql_user'@'%';
GRANT ALL PRIVILEGES ON *.* TO 'mysql_user'@'localhost';
GRANT ALL PRIVILEGES ON *.* TO 'mysql_user'@'127.0.0.1';
FLUSH PRIVILEGES;
SQL

"$GENCAT" --sqlite "$WORK/trevin.dat" --mysql-script "$WORK/trevin.sql" \
    --master trevin --catalogue trevin_cat --stat trevin_stat
"${ROOTSQL[@]}" --default-character-set=cp1251 < "$WORK/trevin.sql"

export QT_QPA_PLATFORM=offscreen
export TREVIN_MYSQL_HOST=127.0.0.1
export TREVIN_MYSQL_PORT="$PORT"
export TREVIN_REQUIRE_MYSQL=1
# The full-disk tests mount small tmpfs folders; CI runs as root, so they run.
export TREVIN_REQUIRE_MOUNT=1

status=0
echo "== tests (MariaDB on port $PORT)"
(cd "$BUILD" && ctest --output-on-failure -j"$JOBS" --timeout 300) || status=1

echo "== sanitizer build"
cmake -S "$ROOT" -B "$BUILD_SAN" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTREVIN_WERROR=ON -DTREVIN_SANITIZE=ON
# Benchmarks are not run by the tests; the sanitizer build leaves them out.
ninja -C "$BUILD_SAN" -j"$JOBS" src/all tools/all tests/all
# intercept_tls_get_addr=0: this compiler's leak checker guesses the bounds of
# a dynamic TLS block (the JPEG plugin's library has one) from a header that
# glibc has not written since 2.25; when malloc happens to place the block 16
# bytes past a page boundary, it scans a bogus range and crashes at exit. The
# block is an ordinary heap allocation reachable from the thread's DTV, so the
# leak check still sees what it holds.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_tls_get_addr=0
export LSAN_OPTIONS=suppressions="$ROOT/scripts/lsan.supp":print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$BUILD_SAN" && ctest --output-on-failure -j"$JOBS" --timeout 600) || status=1

# A real leak must still fail the run: the canary leaks on purpose.
echo "== leak canary"
if canary_out=$("$BUILD_SAN/tests/leak_canary" 2>&1); then
    echo "test.sh: the leak canary exited cleanly; leak detection is off" >&2
    status=1
elif ! grep -q "LeakSanitizer: detected memory leaks" <<<"$canary_out"; then
    echo "$canary_out" >&2
    echo "test.sh: the leak canary failed without a leak report" >&2
    status=1
else
    echo "leak canary reported its leak"
fi

if [ "$status" -ne 0 ]; then
    echo "test.sh: FAILED" >&2
else
    echo "test.sh: all tests passed"
fi
exit "$status"
