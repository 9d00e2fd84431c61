#!/usr/bin/env bash
# Speed and size figures of the tool, each against a yardstick measured in the same run:
#   1. start-up: process creation to visible main window, the tool vs the same window with its
#      sixteen controls, fonts and manifest made without the tool's own work, and vs a minimal
#      Win32 window program built the same way (alternating starts, median ratio);
#   2. Set on a generated profile (5,000 files, 200 MB) vs `cp -r` and the shell's copy of the
#      tree Set copies (the profile without its cache folders) on the same disk (runs in rotating
#      order, median ratio);
#   3. IsProcessRunning per call with 20 extra processes running;
#   4. the executable's size and the DLLs it imports.
# Called by `./run bench` inside Xvfb with a fresh Wine prefix in $WINEPREFIX and the build folder
# whose programs run as $1. On the 64-bit route that is an x86_64 build, and $2 is the 32-bit
# release executable, whose size and imports are the ones reported. Prints the table and writes
# it, with the machine, the route and the command, to BENCHMARKS.md.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${1:?usage: tools/bench.sh <build folder> [<32-bit release exe, for an x86_64 build>]}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac
RELEASE=${2:-$BUILD_DIR/velmo_portable.exe}
if [ $# -ge 2 ]; then
  ROUTE="64-bit route: the times are of an x86_64 build of the same sources under the 64-bit Wine,
size and imports those of the 32-bit release executable"
else
  ROUTE="32-bit route: every figure is of the 32-bit release executable under the 32-bit Wine"
fi
: "${WINEPREFIX:?run through ./run bench, which prepares the Wine prefix}"

STARTUP_PAIRS=${STARTUP_PAIRS:-15}
SET_RUNS=${SET_RUNS:-3}
SEARCH_CALLS=${SEARCH_CALLS:-200}
EXTRA_PROCESSES=20
PROFILE_FILES=5000
PROFILE_MB=200
REPORT=$ROOT/BENCHMARKS.md

log() { printf '\033[1m== %s\033[0m\n' "$*" >&2; }
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }  # Wine maps / to drive Z:
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{v[NR]=$1} END {
  if (NR % 2) print v[(NR+1)/2]; else printf "%.3f\n", (v[NR/2]+v[NR/2+1])/2 }'; }
field() { sed -n "s/.*[[:space:]]$1=\([^[:space:]]*\).*/\1/p"; }  # value of key=value in a line

log "building the benchmark helpers"
cmake --build "$BUILD_DIR" --target velmo_portable velmo_bench_probe velmo_bench_minimal_window \
  velmo_bench_runtime_window velmo_bench_controls_window velmoexplorer -j"$(nproc)" >/dev/null
TOOL=$BUILD_DIR/velmo_portable.exe
PROBE=$BUILD_DIR/velmo_bench_probe.exe
MINIMAL=$BUILD_DIR/velmo_bench_minimal_window.exe
RUNTIME=$BUILD_DIR/velmo_bench_runtime_window.exe
CONTROLS=$BUILD_DIR/velmo_bench_controls_window.exe
BROWSER=$BUILD_DIR/velmoexplorer.exe
for f in "$TOOL" "$PROBE" "$MINIMAL" "$RUNTIME" "$CONTROLS" "$BROWSER" "$RELEASE"; do
  [ -f "$f" ] || { echo "missing $f" >&2; exit 1; }
done

WORK=$BUILD_DIR/bench-work
rm -rf "$WORK"
mkdir -p "$WORK/install" "$WORK/appdata" "$WORK/temp" "$WORK/idle" "$WORK/yardstick"
trap 'rm -rf "$WORK"' EXIT
cp "$TOOL" "$WORK/install/velmo_portable.exe"
cp "$BROWSER" "$WORK/install/velmoexplorer.exe"
cp "$MINIMAL" "$WORK/yardstick/minimal_window.exe"
cp "$RUNTIME" "$WORK/yardstick/runtime_window.exe"
cp "$CONTROLS" "$WORK/yardstick/controls_window.exe"
cp "$BROWSER" "$WORK/idle/bench_idle.exe"   # a stand-in process whose path does not match

probe() { wine "$PROBE" "$@" | tr -d '\r'; }

# --- 1. start-up ---------------------------------------------------------------------------
log "start-up: $STARTUP_PAIRS alternating pairs"
startup=$(probe startup "$STARTUP_PAIRS" "$(winpath "$WORK/install/velmo_portable.exe")" \
  "$(winpath "$WORK/yardstick/minimal_window.exe")")
echo "$startup" >&2
startup_tool=$(echo "$startup" | grep '^startup ' | field a_median_ms)
startup_base=$(echo "$startup" | grep '^startup ' | field b_median_ms)
startup_ratio=$(echo "$startup" | grep '^startup ' | field ratio_median)
[ -n "$startup_ratio" ] || { echo "start-up probe failed" >&2; exit 1; }
# Against its floor: the same window, controls, fonts and manifest without the tool's own work.
floor=$(probe startup "$STARTUP_PAIRS" "$(winpath "$WORK/install/velmo_portable.exe")" \
  "$(winpath "$WORK/yardstick/controls_window.exe")")
echo "$floor" >&2
floor_tool=$(echo "$floor" | grep '^startup ' | field a_median_ms)
floor_base=$(echo "$floor" | grep '^startup ' | field b_median_ms)
floor_ratio=$(echo "$floor" | grep '^startup ' | field ratio_median)
[ -n "$floor_ratio" ] || { echo "start-up probe against the controls window failed" >&2; exit 1; }
# How much of that the platform parts alone cost: the minimal window with the tool's DLLs, the
# common controls v6 manifest, against the plain minimal window.
runtime=$(probe startup "$STARTUP_PAIRS" "$(winpath "$WORK/yardstick/runtime_window.exe")" \
  "$(winpath "$WORK/yardstick/minimal_window.exe")")
echo "$runtime" >&2
runtime_ms=$(echo "$runtime" | grep '^startup ' | field a_median_ms)
runtime_base=$(echo "$runtime" | grep '^startup ' | field b_median_ms)
runtime_ratio=$(echo "$runtime" | grep '^startup ' | field ratio_median)

# --- 2. Set vs cp -r -----------------------------------------------------------------------
log "generating a profile of $PROFILE_FILES files / $PROFILE_MB MB"
PROFILE=$WORK/appdata/velmoexplorer
python3 - "$PROFILE" "$PROFILE_FILES" "$PROFILE_MB" <<'PY'
# Deterministic content: a fixed seed, small files spread over ordinary and deep folders, a few
# large ones, and the three cache folders the Set command removes before it copies.
import os, random, sys
root, files, megabytes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(20261207)
total = megabytes * 1024 * 1024
folders = ["", "Default", "Default/Local Storage", "Extensions", "Webkit/Cache",
           "Webkit/Cache2", "VelmoVideoCache", "Plugins/data"]
deep = "/".join(f"d{i}" for i in range(12))
folders += [f"Deep/{deep}", f"Deep2/{deep}/inner/{deep}"]
large = files // 50                       # 2 % of the files hold most of the bytes
small_size = 8 * 1024
large_size = (total - (files - large) * small_size) // large
for index in range(files):
    folder = folders[index % len(folders)]
    size = large_size if index % 50 == 0 else rng.randrange(small_size // 2, small_size * 3 // 2)
    path = os.path.join(root, folder, f"file{index:05d}.dat")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(rng.randbytes(size))
PY
generated_files=$(find "$PROFILE" -type f | wc -l)
generated_mb=$(du -sm --apparent-size "$PROFILE" | cut -f1)
PRISTINE=$WORK/pristine-caches
mkdir -p "$PRISTINE/Webkit"
cp -r "$PROFILE/Webkit/Cache" "$PROFILE/Webkit/Cache2" "$PRISTINE/Webkit/"
cp -r "$PROFILE/VelmoVideoCache" "$PRISTINE/"
delete_caches() {
  rm -rf "$PROFILE/Webkit/Cache" "$PROFILE/Webkit/Cache2" "$PROFILE/VelmoVideoCache"
}
restore_caches() {
  delete_caches
  cp -r "$PRISTINE/Webkit/Cache" "$PRISTINE/Webkit/Cache2" "$PROFILE/Webkit/"
  cp -r "$PRISTINE/VelmoVideoCache" "$PROFILE/"
}
# What Set copies: the profile once it has deleted the cache folders. The yardsticks copy that
# tree, so that every ratio compares copies of the same files.
copied_files=$(find "$PROFILE" -type f -not -path "$PROFILE/Webkit/Cache/*" \
  -not -path "$PROFILE/Webkit/Cache2/*" -not -path "$PROFILE/VelmoVideoCache/*" | wc -l)

log "Set vs cp -r and the shell's own copy: $SET_RUNS runs, the order rotating"
set_samples=""
cp_samples=""
shell_samples=""
jobs=(set cp shell)
for run in $(seq 1 "$SET_RUNS"); do
  for turn in 0 1 2; do
    job=${jobs[$(( (run + turn) % 3 ))]}
    restore_caches
    rm -rf "$WORK/install/Setting" "$WORK/install/path" "$WORK/cp-copy" "$WORK/shell-copy"
    sync
    case "$job" in
      set)
        out=$(probe set "$(winpath "$WORK/install/velmo_portable.exe")" \
          "$(winpath "$WORK/appdata")" "$(winpath "$WORK/temp")")
        ms=$(echo "$out" | grep '^set ' | field ms)
        [ -n "$ms" ] || { echo "Set failed: $out" >&2; exit 1; }
        copied=$(find "$WORK/install/Setting" -type f | wc -l)
        [ "$copied" -eq "$copied_files" ] ||
          { echo "Set copied $copied files, not the $copied_files left without the caches" >&2; exit 1; }
        set_samples="$set_samples $ms"
        echo "Set run $run: $ms ms, $copied files in Setting" >&2 ;;
      cp)
        delete_caches
        start=$(now_ms)
        cp -r "$PROFILE" "$WORK/cp-copy"
        ms=$(( $(now_ms) - start ))
        cp_samples="$cp_samples $ms"
        echo "cp -r run $run: $ms ms" >&2 ;;
      shell)
        delete_caches
        out=$(probe shellcopy "$(winpath "$PROFILE")" "$(winpath "$WORK/shell-copy")")
        ms=$(echo "$out" | grep '^shellcopy ' | field ms)
        [ -n "$ms" ] || { echo "shell copy failed: $out" >&2; exit 1; }
        shell_samples="$shell_samples $ms"
        copied=$(find "$WORK/shell-copy" -type f | wc -l)
        [ "$copied" -eq "$copied_files" ] ||
          { echo "the shell copied $copied files, not $copied_files" >&2; exit 1; }
        echo "SHFileOperationW run $run: $ms ms" >&2 ;;
    esac
  done
done
set_median=$(echo "$set_samples" | median)
cp_median=$(echo "$cp_samples" | median)
shell_median=$(echo "$shell_samples" | median)
set_ratio=$(awk -v a="$set_median" -v b="$cp_median" 'BEGIN { printf "%.2f", a / b }')
shell_ratio=$(awk -v a="$set_median" -v b="$shell_median" 'BEGIN { printf "%.2f", a / b }')

# --- 3. IsProcessRunning -------------------------------------------------------------------
log "IsProcessRunning: $SEARCH_CALLS calls with $EXTRA_PROCESSES extra processes"
search=$(probe search "$SEARCH_CALLS" "$EXTRA_PROCESSES" "$(winpath "$WORK/idle/bench_idle.exe")")
echo "$search" >&2
search_median=$(echo "$search" | grep '^search ' | field median_ms)
search_max=$(echo "$search" | grep '^search ' | field max_ms)
search_processes=$(echo "$search" | grep '^search ' | field processes)
search_snapshot=$(echo "$search" | grep '^search ' | field snapshot_median_ms)
[ -n "$search_median" ] || { echo "search probe failed" >&2; exit 1; }

# --- 4. size and imports -------------------------------------------------------------------
size_bytes=$(stat -c %s "$RELEASE")
size_kb=$(( (size_bytes + 1023) / 1024 ))
imports=$(i686-w64-mingw32-objdump -p "$RELEASE" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -f)
non_system=""
for dll in $imports; do
  # A system DLL is one the system itself provides in System32 (Wine's prefix has them all).
  found=$(find "$WINEPREFIX/drive_c/windows/system32" -maxdepth 1 -iname "$dll" | head -1)
  [ -n "$found" ] || non_system="$non_system $dll"
done
imports_line=$(echo $imports | sed 's/ /, /g')

# --- report --------------------------------------------------------------------------------
verdict() { awk -v v="$1" -v g="$2" 'BEGIN { print (v + 0 <= g + 0) ? "met" : "NOT met" }'; }
startup_verdict=$(verdict "$startup_ratio" 1.2)
floor_verdict=$(verdict "$floor_ratio" 1.05)
set_verdict=$(verdict "$set_ratio" 1.5)
search_verdict=$(awk -v v="$search_median" 'BEGIN { print (v + 0 < 5) ? "met" : "NOT met" }')
size_verdict=$(verdict "$size_kb" 512)
imports_verdict=$([ -z "$non_system" ] && echo "met" || echo "NOT met:$non_system")

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
memory=$(awk '/MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo)
wine_version=$(wine --version 2>/dev/null || echo unknown)
filesystem=$(df -T "$WORK" | awk 'NR == 2 { print $2 }')
commit=$(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)
[ -z "$(git -C "$ROOT" status --porcelain -- src res 2>/dev/null)" ] ||
  commit="$commit with uncommitted changes to the tool"

table=$(cat <<EOF
| Figure | Measured | Yardstick (same run) | Result | Goal | |
|---|---|---|---|---|---|
| Start-up to visible window | tool ${startup_tool} ms (median) | minimal window ${startup_base} ms | ratio ${startup_ratio} | ≤ 1.2 | ${startup_verdict} |
| Start-up against its floor | tool ${floor_tool} ms (median) | the same window without the tool's work ${floor_base} ms | ratio ${floor_ratio} | ≤ 1.05 | ${floor_verdict} |
| Start-up of the platform parts alone | minimal window with the tool's DLLs and manifest: ${runtime_ms} ms | minimal window ${runtime_base} ms | ratio ${runtime_ratio} | (context) | |
| Set, ${generated_files} files / ${generated_mb} MB, ${copied_files} files copied | ${set_median} ms (median) | \`cp -r\` of the ${copied_files} files ${cp_median} ms | ratio ${set_ratio} | ≤ 1.5 | ${set_verdict} |
| Set against the platform's own copy | ${set_median} ms | SHFileOperationW of the ${copied_files} files ${shell_median} ms | ratio ${shell_ratio} | (context) | |
| IsProcessRunning per call | ${search_median} ms (median, max ${search_max}) | ${search_processes} processes, ${EXTRA_PROCESSES} of them extra | | < 5 ms | ${search_verdict} |
| Process list snapshot alone | ${search_snapshot} ms (median) | the floor under any search | | (context) | |
| Executable size | ${size_kb} KB (${size_bytes} bytes) | | | ≤ 512 KB | ${size_verdict} |
| Imported DLLs | ${imports_line} | | | system DLLs only | ${imports_verdict} |
EOF
)

cat > "$REPORT" <<EOF
# Benchmarks

Measured by \`./run bench\` (tools/bench.sh) on $(date -u '+%Y-%m-%d %H:%M UTC'), commit ${commit},
on the ${ROUTE}.
Every ratio compares two things measured alternately in the same run on the same machine, so
the figures carry over between machines better than the absolute times do.

${table}

## How each figure is taken
- Start-up: the probe (tools/bench/bench_probe.cpp) creates the process and polls every
  millisecond for its first visible top-level window; the tool starts in an installation folder
  holding the substitute browser, the yardstick (tools/bench/minimal_window.cpp) registers a class,
  creates and shows a window. ${STARTUP_PAIRS} alternating pairs after one warm-up pair; median of
  the per-pair ratios. Samples in ms, tool: $(echo "$startup" | grep '^startup_samples' | field a);
  minimal window: $(echo "$startup" | grep '^startup_samples' | field b).
- Start-up against its floor: the yardstick (tools/bench/controls_window.cpp) is the tool's window
  without the tool's work: the tool's resources (icon, manifest, version) and DLLs, the same
  window class and frame, the sixteen controls made, given their fonts and placed by the tool's
  own window code at the window's DPI, sized, centred, shown and focused. It reads nothing: the
  tool's ratio to it is what the tool's own start-up work (the installation, the path file, the
  browser's version, an interrupted Set) costs. A separate series of ${STARTUP_PAIRS} pairs.
  Samples in ms, tool: $(echo "$floor" | grep '^startup_samples' | field a);
  controls window: $(echo "$floor" | grep '^startup_samples' | field b).
- Start-up of the platform parts alone: the minimal window built to also import the tool's DLLs
  and carry its common controls v6 manifest, against the plain one (a separate series of pairs):
  the share of the start-up that the platform parts decide.
- Set: a generated profile (fixed seed: ${generated_files} files, ${generated_mb} MB, two chains of
  folders 13 and 26 levels deep, the three cache folders) under APPDATA; the probe starts the real tool, clicks
  设置 and stops the clock when the success box is up; Set deletes the three cache folders and
  copies the ${copied_files} files left (the script checks that count in every copy). The
  yardsticks copy that same tree, the profile with the cache folders deleted beforehand, to the
  same disk (${filesystem}): \`cp -r\`, and one \`SHFileOperationW\` FO_COPY by the probe made
  as Set makes its copy (no owner window, no flags, so the shell's progress window, in a
  single-threaded COM apartment): the platform's own folder copy, which Set is built on, so that
  row shows what the tool adds to it (the deletion of the caches, the check of the copy, the
  renames and the path file). Before every run the cache folders are put back and the previous
  copies removed. Samples in ms, Set:${set_samples};
  cp -r:${cp_samples}; SHFileOperationW:${shell_samples}.
- IsProcessRunning: ${EXTRA_PROCESSES} copies of an idle window program run from a folder whose path does not
  hold the browser's name, so every call is a full pass over the process list; ${SEARCH_CALLS} calls.
  The snapshot row times CreateToolhelp32Snapshot and the walk over its entries alone, without
  opening any process: no search of the list can be faster on this machine.
- Size and imports: the 32-bit release executable (\`i686-w64-mingw32-objdump -p\`) on both
  routes; a DLL counts as a system DLL when System32 provides it.

## Machine
- CPU: ${cpu} ($(nproc) cores available), memory ${memory}
- $(uname -sr), ${wine_version}, Xvfb, file system ${filesystem}

Reproduce with \`./run bench\` (three to four minutes; \`STARTUP_PAIRS\`, \`SET_RUNS\` and
\`SEARCH_CALLS\` change the number of samples).
EOF

echo
echo "$table"
echo
echo "written to $REPORT"
