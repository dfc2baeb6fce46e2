#!/usr/bin/env bash
# Listing the printers: `tonalis-cli printers`, from process start to the
# list printed, against `lpstat -p` on the same private scheduler with 50
# accepted queues (one of them the default, whose PPD is read). The two are
# run alternately; the medians and their ratio are printed.
# Usage: bench/bench_printers.sh TONALIS-CLI [ROUNDS]
set -euo pipefail
cli=$(realpath "$1")
rounds=${2:-31}
here=$(cd "$(dirname "$0")" && pwd)
ppd="$here/../tests/data/cups/marked.ppd"
queues=50

root=$(mktemp -d "${TMPDIR:-/tmp}/tonalis-bench-XXXXXX")
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT

mkdir -p "$root"/{spool,cache,state,log,ppd,home}
if [ "$(id -u)" -eq 0 ]; then user=lp group=lp sysgroup=root
else user=$(id -un) group=$(id -gn) sysgroup=$group; fi
cat > "$root/cupsd.conf" <<CONF
LogLevel warn
Listen $root/cups.sock
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
cat > "$root/cups-files.conf" <<CONF
ServerRoot $root
RequestRoot $root/spool
TempDir $root/spool
CacheDir $root/cache
StateDir $root/state
ErrorLog $root/log/error_log
AccessLog $root/log/access_log
PageLog $root/log/page_log
Printcap $root/printcap
FileDevice Yes
Sandboxing Relaxed
User $user
Group $group
SystemGroup $sysgroup
CONF

cupsd=/usr/sbin/cupsd
[ -x "$cupsd" ] || cupsd=cupsd
"$cupsd" -f -c "$root/cupsd.conf" -s "$root/cups-files.conf" > "$root/log/cupsd.out" 2>&1 &
pid=$!

export CUPS_SERVER="$root/cups.sock" CUPS_SERVERROOT="$root" HOME="$root/home"
unset LPDEST PRINTER
for _ in $(seq 200); do
  lpstat -r 2>/dev/null | grep -q 'is running' && break
  sleep 0.05
done
lpstat -r | grep -q 'is running' || { cat "$root/log/error_log"; exit 1; }

for i in $(seq -w 1 $queues); do
  lpadmin -p "Colour$i" -E -v file:/dev/null -P "$ppd" 2>/dev/null
done
lpadmin -d Colour01
listed=$("$cli" printers | wc -l)
[ "$listed" -eq $queues ] || { echo "bench_printers: listed $listed queues, expected $queues"; exit 1; }

now() { date +%s%N; }
cli_ns=() lpstat_ns=()
for _ in $(seq "$rounds"); do
  t0=$(now); "$cli" printers > /dev/null; t1=$(now)
  lpstat -p > /dev/null; t2=$(now)
  cli_ns+=($((t1 - t0))) lpstat_ns+=($((t2 - t1)))
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
cli_med=$(median "${cli_ns[@]}")
lpstat_med=$(median "${lpstat_ns[@]}")
awk -v c="$cli_med" -v l="$lpstat_med" -v n="$queues" -v r="$rounds" 'BEGIN {
  printf "== Listing %d accepted queues on a private scheduler (median of %d, alternated)\n", n, r
  printf "tonalis-cli printers  %7.1f ms   (goal: under 300 ms)\n", c / 1e6
  printf "lpstat -p             %7.1f ms\n", l / 1e6
  printf "ratio                 %7.2f     (goal: at most 2)\n", c / l
}'
