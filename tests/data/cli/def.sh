# def.sh NAME [ALL [CYAN5 [GAMMA [MAGENTA0]]]]: one definition object whose
# channels have the 0 %, 50 % and 100 % points set, cyan's 5 % point CYAN5
# and magenta's 0 % point MAGENTA0.
channel() { printf '{"points": [%s, %s, -1, -1, -1, -1, 5000, -1, -1, -1, -1, -1, 10000], "gamma": %s}' "$1" "$2" "${4:--1}"; }
printf '{"name": "%s", "allChannels": %s, "channels": [%s, %s, %s, %s]}' "$1" "${2:-1}" \
  "$(channel 0 "${3:--1}" x "$4")" "$(channel "${5:-0}" -1 x "$4")" "$(channel 0 -1 x "$4")" "$(channel 0 -1 x "$4")"
