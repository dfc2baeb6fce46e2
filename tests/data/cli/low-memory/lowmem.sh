# lowmem.sh LIMIT EXPECTED COMMAND...: runs COMMAND with its address space
# limited to LIMIT KiB (ulimit -v) and prints nothing when it ends with exit
# status 1 and one message that starts with EXPECTED on stderr; otherwise what it did.
# AddressSanitizer reserves far more address space than any such limit, so
# under it the command is not run.
limit=$1 expected=$2
shift 2
grep -q __asan_init "$(command -v tonalis-cli)" && exit 0
(ulimit -v "$limit"; "$@") >/dev/null 2>err.txt
status=$?
[ "$status" = 1 ] && case "$(cat err.txt)" in "$expected"*) true ;; *) false ;; esac || { echo "status $status"; cat err.txt; }
