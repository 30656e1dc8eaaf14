# Timing helpers the benchmark scripts source; they need "$tmp", a scratch folder of theirs.

# Wall seconds (to the millisecond) and peak kilobytes of one command: "SECONDS KB".
measure() {
  local t0 t1
  t0=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$tmp/time" "$@" >"$tmp/out" 2>"$tmp/err" || {
    echo "failed: $*" >&2; cat "$tmp/err" >&2; exit 1; }
  t1=$(date +%s%N)
  echo "$(( (t1 - t0) / 1000000 )) $(cat "$tmp/time")" | awk '{printf "%.3f %s\n", $1 / 1000, $2}'
}
median() { sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a/b}'; }

# Samples by name, one per round; their median.
declare -A samples
add() { samples[$1]+="$2"$'\n'; }
med() { printf '%s' "${samples[$1]}" | median; }
