#!/usr/bin/env bash
# Listing the printers: `tonalis-cli printers`, from process start to the
# list printed, against `lpstat -p` on the same private scheduler. For each
# number of queues, half of them carry the supported-product keyword in their
# PPD only (their make and model names no accepted product, so only the PPD
# tells) and half have a plain PPD; one supported queue is the default, whose
# PPD is read. Each round runs, alternately, the listing with no verdict
# cache (cold: every PPD is looked at), with the cache the previous listing
# left (warm: nothing changed on the server) and lpstat -p. The medians and
# the ratios to lpstat are printed.
# Usage: bench/bench_printers.sh TONALIS-CLI [ROUNDS] [QUEUES...]
#        (default: 15 rounds, 50 200 500 queues)
set -euo pipefail
cli=$(realpath "$1")
rounds=${2:-15}
shift $(( $# >= 2 ? 2 : 1 ))
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(50 200 500)
here=$(cd "$(dirname "$0")" && pwd)
marked=${BENCH_MARKED_PPD:-"$here/../tests/data/cups/marked.ppd"}
plain=${BENCH_PLAIN_PPD:-"$here/../tests/data/cups/plain.ppd"}

root=$(mktemp -d "${TMPDIR:-/tmp}/tonalis-bench-XXXXXX")
pid=
stop() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  pid=
}
trap 'stop; rm -rf "$root"' EXIT

if [ "$(id -u)" -eq 0 ]; then user=lp group=lp sysgroup=root
else user=$(id -un) group=$(id -gn) sysgroup=$group; fi
cupsd=/usr/sbin/cupsd
[ -x "$cupsd" ] || cupsd=cupsd

# A fresh scheduler in $root/$1 with no queues.
start() {
  local dir="$root/$1"
  mkdir -p "$dir"/{spool,cache,state,log,ppd,home,xdg-cache}
  cat > "$dir/cupsd.conf" <<CONF
LogLevel warn
Listen $dir/cups.sock
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat > "$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/spool
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
Printcap $dir/printcap
FileDevice Yes
Sandboxing Relaxed
User $user
Group $group
SystemGroup $sysgroup
CONF
  "$cupsd" -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" > "$dir/log/cupsd.out" 2>&1 &
  pid=$!
  export CUPS_SERVER="$dir/cups.sock" CUPS_SERVERROOT="$dir" HOME="$dir/home"
  export XDG_CACHE_HOME="$dir/xdg-cache"
  unset LPDEST PRINTER
  for _ in $(seq 200); do
    lpstat -r 2>/dev/null | grep -q 'is running' && break
    sleep 0.05
  done
  lpstat -r | grep -q 'is running' || { cat "$dir/log/error_log"; exit 1; }
}

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for queues in "${counts[@]}"; do
  start "q$queues"
  for i in $(seq 1 $((queues / 2))); do
    lpadmin -p "Colour$i" -E -v file:/dev/null -P "$marked" 2>/dev/null
    lpadmin -p "Plain$i" -E -v file:/dev/null -P "$plain" 2>/dev/null
  done
  lpadmin -d Colour1
  # Changes made within the last seconds are not trusted to the cache.
  sleep 2
  listed=$("$cli" printers | wc -l)
  [ "$listed" -eq $((queues / 2)) ] ||
    { echo "bench_printers: listed $listed queues, expected $((queues / 2))"; exit 1; }

  cold_ns=() warm_ns=() lpstat_ns=()
  for _ in $(seq "$rounds"); do
    rm -rf "$XDG_CACHE_HOME/tonalis"
    t0=$(now); "$cli" printers > /dev/null; t1=$(now)
    "$cli" printers > /dev/null; t2=$(now)
    lpstat -p > /dev/null; t3=$(now)
    cold_ns+=($((t1 - t0))) warm_ns+=($((t2 - t1))) lpstat_ns+=($((t3 - t2)))
  done
  awk -v c="$(median "${cold_ns[@]}")" -v w="$(median "${warm_ns[@]}")" \
      -v l="$(median "${lpstat_ns[@]}")" -v n="$queues" -v r="$rounds" 'BEGIN {
    printf "== Listing %d queues (%d supported by their PPD only) on a private scheduler (median of %d, alternated)\n", n, n / 2, r
    printf "tonalis-cli printers, cold cache  %7.1f ms   ratio %5.2f\n", c / 1e6, c / l
    printf "tonalis-cli printers, warm cache  %7.1f ms   ratio %5.2f   (goal: at most 2)\n", w / 1e6, w / l
    printf "lpstat -p                         %7.1f ms\n", l / 1e6
  }'
  stop
done
