#!/usr/bin/env bash
# Times torvane-cli against the tools people use today for the same job, on
# the disk and on /dev/shm, and prints medians and ratios.
#   bench/compare.sh [RUNS]     (default 3 runs of each; needs build/bin/torvane-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
cli=${TORVANE_CLI:-$PWD/build/bin/torvane-cli}
[ -x "$cli" ] || { echo "build first: ./scripts/bootstrap" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

disk_dir=$(mktemp -d "${TMPDIR:-/var/tmp}/torvane-bench.XXXXXX")
shm_dir=$(mktemp -d /dev/shm/torvane-bench.XXXXXX)
timing=$(mktemp)
trap 'rm -rf "$disk_dir" "$shm_dir" "$timing"' EXIT

# seconds of one command (wall clock), file removed afterwards
seconds() {
  local dir=$1; shift
  /usr/bin/time -f %e -o "$timing" bash -c "$*" >/dev/null 2>&1
  rm -f "$dir"/*
  tail -n 1 "$timing"
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
measure() {  # dir, command...
  local dir=$1; shift
  for _ in $(seq "$runs"); do seconds "$dir" "$@"; done | median
}
mbps() { awk -v b="$1" -v s="$2" 'BEGIN { printf (s > 0 ? "%.1f" : "inf"), b / 1048576 / s }'; }
row() {  # label bytes ours theirs theirs_label
  local ratio
  ratio=$(awk -v a="$3" -v b="$4" 'BEGIN { printf (a > 0 ? "%.2f" : "inf"), b / a }')
  printf '| %-44s | %8s s | %8s MB/s | %-44s | %8s s | %8s MB/s | %6sx |\n' \
    "$1" "$3" "$(mbps "$2" "$3")" "$5" "$4" "$(mbps "$2" "$4")" "$ratio"
}

echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -sr);" \
     "disk folder $(df --output=fstype "$disk_dir" | tail -n 1); $runs runs each, medians"
echo "ratio = reference time / torvane-cli time: above 1, torvane-cli is faster. torvane-cli syncs every"
echo "write to the disk (as dd oflag=dsync does); openssl and tr leave theirs in the page cache."
echo
printf '| %-44s | %10s | %13s | %-44s | %10s | %13s | %7s |\n' "torvane-cli" "time" "rate" "reference" "time" "rate" "ratio"
printf '|%s|%s|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..46})" "$(printf -- '-%.0s' {1..12})" \
  "$(printf -- '-%.0s' {1..15})" "$(printf -- '-%.0s' {1..46})" "$(printf -- '-%.0s' {1..12})" \
  "$(printf -- '-%.0s' {1..15})" "$(printf -- '-%.0s' {1..9})"

for where in disk shm; do
  dir=$disk_dir; [ "$where" = shm ] && dir=$shm_dir
  b=$((64 * 1048576))
  ours=$(measure "$dir" "$cli -q -o $dir -s 64MB --layout continuous")
  dd_t=$(measure "$dir" "dd if=/dev/urandom of=$dir/dd.bin bs=61440 count=$((b / 61440 + 1)) oflag=dsync")
  ossl=$(measure "$dir" "openssl rand -out $dir/o.bin $b")
  row "continuous 0..255, 64 MiB ($where)" $b "$ours" "$dd_t" "dd if=/dev/urandom bs=61440 oflag=dsync"
  row "continuous 0..255, 64 MiB ($where)" $b "$ours" "$ossl" "openssl rand -out"

  b=$((16 * 1048576))
  ours=$(measure "$dir" "$cli -q -o $dir -s 16MB --layout continuous --low 48 --high 57")
  tr_t=$(measure "$dir" "tr -dc 0-9 </dev/urandom | head -c $b > $dir/t.txt")
  row "continuous 48..57, 16 MiB ($where)" $b "$ours" "$tr_t" "tr -dc 0-9 </dev/urandom | head -c"

  b=$((4 * 1048576))
  ours=$(measure "$dir" "$cli -q -o $dir -s 4MB")
  dd_t=$(measure "$dir" "dd if=/dev/zero of=$dir/z.bin bs=80 count=$((b / 80 + 1)) oflag=dsync")
  row "fixed-length hex, 4 MiB ($where)" $b "$ours" "$dd_t" "dd if=/dev/zero bs=80 oflag=dsync"
done

/usr/bin/time -f %M -o "$timing" "$cli" -q -o "$disk_dir" -s 1GB --layout continuous >/dev/null 2>&1
peak=$(tail -n 1 "$timing")
rm -f "$disk_dir"/*
echo
echo "Peak RSS of torvane-cli for a 1 GiB continuous file (disk): $((peak / 1024)) MB"
