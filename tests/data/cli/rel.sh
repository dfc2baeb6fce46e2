# rel.sh COMMAND...: runs COMMAND with this folder's path taken out of its messages.
"$@" 2>rel.err; status=$?; sed "s|$PWD/||g" rel.err >&2; rm rel.err; exit $status
