#!/usr/bin/env bash
# Times torvane-cli against the tools people use today for the same job, on
# the disk and on /dev/shm, and prints medians and ratios. The commands of a
# row run side by side: each run times every one of them once, in turns.
#   bench/compare.sh [RUNS]     (default 3 runs of each; needs build/bin/torvane-cli)
# Every row spells out its layout and sync mode, so that it times the same
# work whatever the command line's defaults.
set -euo pipefail
shopt -s inherit_errexit
export LC_ALL=C  # a decimal point in EPOCHREALTIME and awk
cd "$(dirname "$0")/.."
runs=${1:-3}
short_runs=$((runs * 3))
cli=${TORVANE_CLI:-$PWD/build/bin/torvane-cli}
[ -x "$cli" ] || { echo "build first: ./scripts/bootstrap" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }
command -v xxd >/dev/null || { echo "needs xxd (Debian package xxd)" >&2; exit 1; }

disk_dir=$(mktemp -d "${TMPDIR:-/var/tmp}/torvane-bench.XXXXXX")
shm_dir=$(mktemp -d /dev/shm/torvane-bench.XXXXXX)
timing=$(mktemp)
trap 'rm -rf "$disk_dir" "$shm_dir" "$timing"' EXIT

# seconds of one command (wall clock, to the millisecond)
seconds() {
  local start=$EPOCHREALTIME
  bash -c "$1" >/dev/null 2>&1 || { echo "failed: $1" >&2; exit 1; }
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f\n", b - a }'
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
# The median time of each command, one a line. Each run times every command
# once, the order turning by one each run; after each command the folder is
# emptied ("-": nothing is removed).
measure() {  # dir|- command...
  local dir=$1; shift
  local n=$# r k i
  local -a times=()
  for ((r = 0; r < runs; r++)); do
    for ((k = 0; k < n; k++)); do
      i=$(((k + r) % n))
      times[i]+="$(seconds "${@:i+1:1}") "
      [ "$dir" = - ] || rm -f "$dir"/*
    done
  done
  for ((i = 0; i < n; i++)); do printf '%s\n' ${times[i]} | median; done
}
mbps() { awk -v b="$1" -v s="$2" 'BEGIN { printf (s > 0 ? "%.1f" : "inf"), b / 1048576 / s }'; }
row() {  # label bytes ours theirs theirs_label
  local ratio
  ratio=$(awk -v a="$3" -v b="$4" 'BEGIN { printf (a > 0 ? "%.2f" : "inf"), b / a }')
  printf '| %-46s | %8s s | %8s MB/s | %-48s | %8s s | %8s MB/s | %6sx |\n' \
    "$1" "$3" "$(mbps "$2" "$3")" "$5" "$4" "$(mbps "$2" "$4")" "$ratio"
}
dashes() { printf -- '-%.0s' $(seq "$1"); }

echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -sr);" \
     "disk folder $(df --output=fstype "$disk_dir" | tail -n 1);" \
     "$runs runs each ($short_runs for --seed and --verify), side by side, medians"
echo "Load at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "ratio = reference time / torvane-cli time: above 1, torvane-cli is faster. Every row names its"
echo "--layout and --sync: --sync chunk syncs each write of at most 61,440 bytes, as dd oflag=dsync does;"
echo "--sync record each 80-byte record, --sync end once at the end. openssl, tr, xxd and dd without"
echo "oflag leave theirs in the page cache (but for \"&& sync F\"). On tmpfs (/dev/shm) a sync costs nothing."
echo
printf '| %-46s | %10s | %13s | %-48s | %10s | %13s | %7s |\n' "torvane-cli" "time" "rate" "reference" "time" "rate" "ratio"
printf '|%s|%s|%s|%s|%s|%s|%s|\n' "$(dashes 48)" "$(dashes 12)" "$(dashes 15)" "$(dashes 50)" \
  "$(dashes 12)" "$(dashes 15)" "$(dashes 9)"

continuous="--layout continuous"
hex="--layout fixed --format hex"
xxd_sed() {  # the hex records of N/2 random bytes, as a shell makes them: input bytes, output file
  echo "head -c $1 /dev/urandom | xxd -p -u -c39 | sed 's/\$/\r/' > $2"
}
for where in disk tmpfs; do
  dir=$disk_dir; [ "$where" = tmpfs ] && dir=$shm_dir
  b=$((64 * 1048576))
  t=($(measure "$dir" "$cli -q -o $dir -s 64MiB $continuous --sync chunk" \
    "dd if=/dev/urandom of=$dir/dd.bin bs=61440 count=$((b / 61440 + 1)) oflag=dsync" \
    "openssl rand -out $dir/o.bin $b"))
  row "continuous 0..255, 64 MiB, chunk ($where)" $b "${t[0]}" "${t[1]}" "dd if=/dev/urandom bs=61440 oflag=dsync"
  row "continuous 0..255, 64 MiB, chunk ($where)" $b "${t[0]}" "${t[2]}" "openssl rand -out"

  b=$((16 * 1048576))
  t=($(measure "$dir" "$cli -q -o $dir -s 16MiB $continuous --sync chunk --low 48 --high 57" \
    "tr -dc 0-9 </dev/urandom | head -c $b > $dir/t.txt"))
  row "continuous 48..57, 16 MiB, chunk ($where)" $b "${t[0]}" "${t[1]}" "tr -dc 0-9 </dev/urandom | head -c"

  b=$((4 * 1048576))
  t=($(measure "$dir" "$cli -q -o $dir -s 4MiB $hex --sync record" \
    "dd if=/dev/zero of=$dir/z.bin bs=80 count=$((b / 80 + 1)) oflag=dsync"))
  row "fixed-length hex, 4 MiB, record ($where)" $b "${t[0]}" "${t[1]}" "dd if=/dev/zero bs=80 oflag=dsync"

  if [ "$where" = disk ]; then
    b=$((64 * 1048576))
    t=($(measure "$dir" "$cli -q -o $dir -s 64MiB $hex --sync chunk" \
      "$cli -q -o $dir -s 64MiB $hex --sync end" "$(xxd_sed $((b / 2)) "$dir/x.txt")"))
    row "fixed-length hex, 64 MiB, chunk ($where)" $b "${t[0]}" "${t[2]}" "head -c N/2 /dev/urandom | xxd -p -u -c39 | sed"
    row "fixed-length hex, 64 MiB, end ($where)" $b "${t[1]}" "${t[2]}" "head -c N/2 /dev/urandom | xxd -p -u -c39 | sed"

    t=($(measure "$dir" "$cli -q -o $dir -s 64MiB $continuous --sync end" \
      "openssl rand -out $dir/o.bin $b && sync $dir/o.bin"))
    row "continuous 0..255, 64 MiB, end ($where)" $b "${t[0]}" "${t[1]}" "openssl rand -out F N && sync F"

    # A thousand small files: one run against a thousand runs, and against
    # the shell pipeline made a thousand times.
    b=$((1000 * 1024))
    t=($(measure "$dir" "$cli -q -o $dir -s 1KiB $hex --sync chunk --count 1000" \
      "for i in \$(seq 1000); do $cli -q -o $dir -s 1KiB $hex --sync chunk >/dev/null; done" \
      "for i in \$(seq 1000); do $(xxd_sed 512 "$dir/F_\$i"); done"))
    row "--count 1000 -s 1KiB, chunk ($where)" $b "${t[0]}" "${t[1]}" "1,000 separate torvane-cli -s 1KiB calls"
    row "--count 1000 -s 1KiB, chunk ($where)" $b "${t[0]}" "${t[2]}" "1,000 x head -c 512 | xxd -p -u -c39 | sed"
  else
    # Where the CPU decides: a gibibyte in the page cache.
    b=$((1024 * 1048576))
    zeros="dd if=/dev/zero of=$dir/dd.bin bs=61440 count=$((b / 61440 + 1))"
    t=($(measure "$dir" "$cli -q -o $dir -s 1GiB $continuous --sync end" "$zeros" \
      "openssl rand -out $dir/o.bin $b"))
    row "continuous 0..255, 1 GiB, end ($where)" $b "${t[0]}" "${t[1]}" "dd if=/dev/zero bs=61440"
    row "continuous 0..255, 1 GiB, end ($where)" $b "${t[0]}" "${t[2]}" "openssl rand -out"

    t=($(measure "$dir" "$cli -q -o $dir -s 1GiB $hex --sync end" "$zeros" \
      "$(xxd_sed $((b / 2)) "$dir/x.txt")"))
    row "fixed-length hex, 1 GiB, end ($where)" $b "${t[0]}" "${t[1]}" "dd if=/dev/zero bs=61440"
    row "fixed-length hex, 1 GiB, end ($where)" $b "${t[0]}" "${t[2]}" "head -c N/2 /dev/urandom | xxd -p -u -c39 | sed"

    # Each of these takes a second or less: three times the runs.
    t=($(runs=$short_runs measure "$dir" "$cli -q -o $dir -s 1GiB $continuous --sync end --seed bench" \
      "$cli -q -o $dir -s 1GiB $continuous --sync end"))
    row "continuous 0..255, 1 GiB, end, --seed ($where)" $b "${t[0]}" "${t[1]}" "torvane-cli without --seed (system generator)"

    b=$((64 * 1048576))
    file=$("$cli" -q -o "$dir" -s 64MiB $continuous --sync end --seed bench)
    t=($(runs=$short_runs measure - "$cli -q -o $dir -s 64MiB $continuous --seed bench --verify" \
      "sha256sum $file"))
    rm -f "$dir"/*
    row "--verify --seed, continuous, 64 MiB ($where)" $b "${t[0]}" "${t[1]}" "sha256sum of the same file"
  fi
done

# Peak memory, and how long a stop takes to end a run (the file keeps whole
# chunks or records): a run of 4 GiB stopped after half a second by SIGTERM,
# which takes Ctrl-C's way (a script's background job ignores SIGINT).
peak() {  # dir options...
  local dir=$1; shift
  /usr/bin/time -f %M -o "$timing" "$cli" -q -o "$dir" "$@" >/dev/null 2>&1
  rm -f "$dir"/*
  echo "$(($(tail -n 1 "$timing") / 1024)) MB"
}
interrupt() {  # dir options...
  local dir=$1 start; shift
  "$cli" -q -o "$dir" -s 4GiB "$@" >/dev/null 2>&1 &
  sleep 0.5
  start=$EPOCHREALTIME
  kill -TERM $!
  wait $! || true
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
  rm -f "$dir"/*
}
echo
echo "Load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Peak RSS of torvane-cli for 1 GiB: continuous, chunk (disk) $(peak "$disk_dir" -s 1GiB $continuous --sync chunk);" \
     "fixed-length hex, end (tmpfs) $(peak "$shm_dir" -s 1GiB $hex --sync end)"
for where in disk tmpfs; do
  dir=$disk_dir; [ "$where" = tmpfs ] && dir=$shm_dir
  for options in "$continuous --sync chunk" "$hex --sync end"; do
    ms=$(for ((r = 0; r < runs; r++)); do interrupt "$dir" $options; done | median)
    echo "Stop to exit, $options ($where): $ms ms (median of $runs)"
  done
done
