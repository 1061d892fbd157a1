# Shell functions shared by scripts/tango-demo and scripts/tango-facility
# (sourced): background processes that are stopped on every path, waiting
# for a command to succeed, and a Tango database (MariaDB on a temporary data
# directory, Debian's tango-db schema, DataBaseds).
#
# The caller sets: root (the source tree), prog (the name in messages), work (a temporary directory
# for logs, data and sockets) and, where its commands must run elsewhere
# (another network namespace), the array run_in (a command prefix; empty
# runs them here).
pids=()
run_in=()

# find_or_make_build [tango-gui]: sets build to UC_TANGO_DEMO_BUILD, a build
# tree that has the libraries and the simulator (as the ctests pass), or
# installs the packages (scripts/setup-deps tango, and tango-gui) and builds
# them into build-demo/.
find_or_make_build() {
    if [ -n "${UC_TANGO_DEMO_BUILD:-}" ]; then
        build=$(realpath "$UC_TANGO_DEMO_BUILD")
        return
    fi
    "$root/scripts/setup-deps" tango "$@"
    build="$root/build-demo"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUC_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j"$(nproc)" --target dravex tormak positioner-sim
}

# The processes started, last first; each gets 10 s to end.
stop_started() {
    local i n
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        for ((n = 0; n < 50; n++)); do
            kill -0 "${pids[i]}" 2>/dev/null || break
            sleep 0.2
        done
        kill -9 "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    pids=()
}

# wait_for SECONDS COMMAND...: waits for the command to succeed.
wait_for() {
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        if [ $SECONDS -ge $deadline ]; then
            echo "$prog: '$*' did not succeed within $limit s" >&2
            return 1
        fi
        sleep 0.2
    done
}

# start LOG COMMAND...: a background process (through run_in), stopped on exit.
start() {
    local log=$1; shift
    ${run_in[@]+"${run_in[@]}"} "$@" >"$work/$log" 2>&1 &
    pids+=($!)
}

show_logs() {
    local log
    for log in "$work"/*.log "$work"/*/log/ds.log/*; do   # also the logs of Starter's servers
        [ -f "$log" ] || continue
        echo "--- $(basename "$log")"; tail -n 20 "$log"
    done >&2
}

# start_tango_database ADDRESS PORT: MariaDB (unix socket in $work, and
# 127.0.0.1:3306), the Tango schema with its access control tables, and
# DataBaseds listening on ADDRESS:PORT. Sets TANGO_HOST.
start_tango_database() {
    local address=$1 port=$2
    local socket="$work/mysqld.sock"
    local sql=(mariadb --no-defaults --socket="$socket" -uroot)

    echo "== MariaDB on $work/data (socket in $work, 127.0.0.1:3306)"
    mariadb-install-db --no-defaults --datadir="$work/data" --user=root --skip-test-db \
        --auth-root-authentication-method=socket >"$work/install-db.log" 2>&1 \
        || { cat "$work/install-db.log" >&2; return 1; }
    # Not strict: TangoAccessControl's inserts leave columns without a
    # default unset, which strict mode refuses.
    start mariadb.log mariadbd --no-defaults --datadir="$work/data" --user=root \
        --socket="$socket" --bind-address=127.0.0.1 --port=3306 \
        --pid-file="$work/mysqld.pid" --skip-log-bin --sql-mode=NO_ENGINE_SUBSTITUTION
    wait_for 30 mariadb-admin --no-defaults --socket="$socket" -uroot ping \
        || { show_logs; return 1; }

    echo "== Tango database schema (Debian's tango-db)"
    "${sql[@]}" -e "CREATE DATABASE tango;
             CREATE USER 'tango'@'127.0.0.1' IDENTIFIED BY 'tango';
             GRANT ALL ON tango.* TO 'tango'@'127.0.0.1';" || return 1
    "${sql[@]}" tango </usr/share/dbconfig-common/data/tango-db/install/mysql || return 1

    echo "== DataBaseds on $address:$port"
    export TANGO_HOST=$address:$port
    export MYSQL_HOST=127.0.0.1 MYSQL_USER=tango MYSQL_PASSWORD=tango MYSQL_DATABASE=tango
    start databaseds.log /usr/lib/tango/DataBaseds 2 -ORBendPoint "giop:tcp:$address:$port"
    wait_for 30 ${run_in[@]+"${run_in[@]}"} tango_admin --ping-database 1 \
        || { show_logs; return 1; }
}
