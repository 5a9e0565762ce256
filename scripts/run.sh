#!/usr/bin/env bash
# Builds the catalogue program (Release, build/), makes a sample catalogue
# beside it when there is none, and starts it.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib.sh
source "$ROOT/scripts/lib.sh"

trevin_install_packages

cmake -S "$ROOT" -B "$ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
ninja -C "$ROOT/build" -j"$(trevin_jobs)" src/all tools/all

PROGRAM_DIR="$ROOT/build/src"
if [ ! -f "$PROGRAM_DIR/trevin.dat" ]; then
    "$ROOT/build/tools/trevin_gencat" --sqlite "$PROGRAM_DIR/trevin.dat"
fi
if [ ! -f "$PROGRAM_DIR/trevin.ini" ]; then
    cat > "$PROGRAM_DIR/trevin.ini" <<'INI'
[main]
; sqlite: the catalogue file below; mysql: the server below
protocol=sqlite
; 1 writes the SQL log (trevin.log beside the program, or logger_file)
logger=0
logger_file=

[protocol_sqlite]
; empty: trevin.dat beside the program
database=

[protocol_mysql]
hostname=127.0.0.1
port=3306
master_database=trevin
user=mysql_user
password=
stat_database=trevin_stat

[transfer_city]
count=0
INI
fi

cd "$PROGRAM_DIR"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting on a virtual X server (xvfb-run)." >&2
    exec xvfb-run -a "$PROGRAM_DIR/trevin" "$@"
fi
exec "$PROGRAM_DIR/trevin" "$@"
