# put.sh ITEMS [LIB]: puts the JSON array [ITEMS] into LIB (lib.dat) and
# checks that the refused put left lib.dat as before.dat.
printf '[%s]' "$1" | tonalis-cli library "${2:-lib.dat}" put -
status=$?
cmp lib.dat before.dat || exit 99
exit $status
