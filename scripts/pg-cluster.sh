#!/usr/bin/env bash
# A private, throwaway PostgreSQL cluster for test and benchmark runs.
#
#   scripts/pg-cluster.sh start DIR   # prints the connection string (no dbname) on stdout
#   scripts/pg-cluster.sh stop DIR    # stops it at once and removes DIR; fine to run twice
#
# The cluster lives in DIR/data, listens only on a Unix socket in DIR (no TCP) on the first
# free port from 55432 up, trusts every local connection, and writes nothing durably
# (fsync off): whatever it holds is lost when it stops. Its superuser is `postgres`. Run as
# root, the server runs as the `postgres` account (DIR is handed to it); otherwise as the
# current user. The newest /usr/lib/postgresql/*/bin is used, or $PG_BIN when set.
# RELVANO_PG_AJUSTES adds lines of postgresql.conf, e.g. to count statements:
#   RELVANO_PG_AJUSTES="shared_preload_libraries = 'pg_stat_statements'"
set -euo pipefail

uso() {
  echo "uso: $0 start|stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] || uso
orden=$1
dir=$2
marca=.relvano-pg-cluster  # written by start; stop removes only folders that carry it

bin_pg() {
  if [ -n "${PG_BIN:-}" ]; then
    echo "$PG_BIN"
    return
  fi
  local b
  b=$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
  if [ -z "$b" ] || [ ! -x "$b/initdb" ]; then
    echo "no se encuentra PostgreSQL (/usr/lib/postgresql/*/bin/initdb): instale el paquete postgresql" >&2
    exit 1
  fi
  echo "$b"
}

# Runs a server program as the account that owns the cluster.
como_servidor() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

# A value of a libpq connection string, quoted when it needs to be.
valor_conexion() {
  if [[ "$1" =~ [[:space:]\'\\] ]] || [ -z "$1" ]; then
    local v=${1//\\/\\\\}
    printf "'%s'" "${v//\'/\\\'}"
  else
    printf '%s' "$1"
  fi
}

# A string for postgresql.conf, single-quoted.
valor_conf() {
  printf "'%s'" "${1//\'/\'\'}"
}

# Whether something answers on `port`: a socket file in DIR or a TCP listener on this host.
puerto_ocupado() {
  [ -e "$dir/.s.PGSQL.$1" ] && return 0
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
  return 1
}

detener() {
  [ -e "$dir" ] || return 0
  if [ ! -e "$dir/$marca" ]; then
    # Never remove a folder this script did not set up.
    if [ -n "$(ls -A "$dir" 2>/dev/null)" ]; then
      echo "$dir no es un grupo de bases de datos de pruebas: no se borra" >&2
      return 1
    fi
    rmdir "$dir"
    return 0
  fi
  if [ -f "$dir/data/postmaster.pid" ]; then
    local b
    b=$(bin_pg)
    (cd "$dir" && como_servidor "$b/pg_ctl" stop -D "$dir/data" -m immediate -w -t 30 >/dev/null 2>&1) ||
      true
  fi
  rm -rf "$dir"
}

arrancar() {
  local b
  b=$(bin_pg)
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd -P)
  if [ -e "$dir/data" ]; then
    echo "$dir/data ya existe" >&2
    exit 1
  fi
  # The server's socket path must fit in sockaddr_un (107 bytes).
  if [ $((${#dir} + 20)) -gt 107 ]; then
    echo "la ruta $dir es demasiado larga para el socket del servidor" >&2
    exit 1
  fi
  touch "$dir/$marca"
  chmod 755 "$dir"
  if [ "$(id -u)" -eq 0 ]; then
    if ! id postgres >/dev/null 2>&1; then
      echo "no existe la cuenta postgres: instale el paquete postgresql" >&2
      exit 1
    fi
    chown postgres "$dir"
  fi
  # The server's account may not be able to read the caller's working folder.
  cd "$dir"
  como_servidor "$b/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C \
    --no-instructions >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log" >&2
    exit 1
  }

  # The last setting of a name wins: the included file overrides initdb's defaults.
  echo "include 'relvano-pruebas.conf'" | como_servidor tee -a "$dir/data/postgresql.conf" >/dev/null
  local puerto=55432 intentos=0
  while :; do
    while puerto_ocupado "$puerto"; do puerto=$((puerto + 1)); done
    {
      echo "# Throwaway test cluster: speed over durability."
      echo "listen_addresses = ''"
      echo "unix_socket_directories = $(valor_conf "$dir")"
      echo "port = $puerto"
      echo "max_connections = 200"
      echo "fsync = off"
      echo "synchronous_commit = off"
      echo "full_page_writes = off"
      echo "wal_level = minimal"
      echo "max_wal_senders = 0"
      echo "shared_buffers = 128MB"
      echo "max_wal_size = 1GB"
      echo "logging_collector = off"
      echo "log_min_messages = warning"
      if [ -n "${RELVANO_PG_AJUSTES:-}" ]; then printf '%s\n' "$RELVANO_PG_AJUSTES"; fi
    } | como_servidor tee "$dir/data/relvano-pruebas.conf" >/dev/null
    if como_servidor "$b/pg_ctl" start -D "$dir/data" -l "$dir/server.log" -w -t 60 >/dev/null 2>&1; then
      break
    fi
    intentos=$((intentos + 1))
    # Another program may have taken the port in between: try the next one a few times.
    if [ "$intentos" -ge 5 ] || ! grep -q "could not bind\|could not create lock file\|Address already in use" \
      "$dir/server.log" 2>/dev/null; then
      cat "$dir/server.log" >&2 2>/dev/null || true
      echo "no arranca el servidor PostgreSQL de $dir" >&2
      exit 1
    fi
    puerto=$((puerto + 1))
  done
  echo "host=$(valor_conexion "$dir") port=$puerto user=postgres"
}

case "$orden" in
  start) arrancar ;;
  stop) detener ;;
  *) uso ;;
esac
