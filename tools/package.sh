#!/usr/bin/env bash
# Release package: the size-optimised executable under the name users get, a Chinese read-me and
# SHA-256 checksums, zipped into dist/. Called by `./run package` with the build folder as $1
# (after the build); can also be run by hand on a finished build folder. Before it zips anything
# it builds the executable a second time, from scratch in a folder of its own, and ships only
# when both are byte-identical: two packages of one commit are the same file.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${1:?usage: tools/package.sh <build folder>}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac

EXE_NAME="Velmo浏览器绿化工具1.0.exe"
README_SOURCE="$ROOT/res/release/说明.txt"
README_NAME="说明.txt"
ZIP_NAME="Velmo浏览器绿化工具1.0.zip"
DIST=$ROOT/dist

built_exe=$BUILD_DIR/velmo_portable.exe
[ -f "$built_exe" ] || { echo "no executable in $BUILD_DIR: build first (./run build)" >&2; exit 1; }

# Only a release configuration goes to users: optimised and stripped.
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD_DIR/CMakeCache.txt")
case "$build_type" in
  MinSizeRel|Release) ;;
  *) echo "the build in $BUILD_DIR is '$build_type', not a release build" >&2; exit 1 ;;
esac

# Only the 32-bit executable goes to users, with its icon, manifest and version resource and no
# imports beyond the system DLLs (a 64-bit test build never ships).
if ! python3 "$ROOT/tools/release_exe_check.py" "$built_exe" >&2; then
  echo "$built_exe is not the executable users get: see the checks above" >&2
  exit 1
fi

stage=$(mktemp -d)
second=$(mktemp -d)
trap 'rm -rf "$stage" "$second"' EXIT

# The same sources built elsewhere give the same bytes: nothing of the time or the folder of a
# build may reach the executable. A difference also stops an executable older than the sources.
log_second=$second/build.log
toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$BUILD_DIR/CMakeCache.txt")
echo "building the executable a second time in $second to compare" >&2
if ! { cmake -S "$ROOT" -B "$second/build" ${toolchain:+--toolchain "$toolchain"} \
         -DCMAKE_BUILD_TYPE="$build_type" -DVELMO_BUILD_TESTS=OFF &&
       cmake --build "$second/build" --target velmo_portable -j"$(nproc)"; } >"$log_second" 2>&1; then
  cat "$log_second" >&2
  echo "the second build failed" >&2
  exit 1
fi
if ! cmp -s "$built_exe" "$second/build/velmo_portable.exe"; then
  echo "$built_exe and the same sources built in $second/build differ" \
       "($(cmp -l "$built_exe" "$second/build/velmo_portable.exe" 2>/dev/null | wc -l) bytes;" \
       "sizes $(stat -c %s "$built_exe") and $(stat -c %s "$second/build/velmo_portable.exe")):" \
       "the build is not reproducible, or $BUILD_DIR was built from other sources" >&2
  exit 1
fi
cp "$built_exe" "$stage/$EXE_NAME"
# The read-me as Windows Notepad opens it on any Windows 7 or later: UTF-8 with BOM, CR LF.
{ printf '\xef\xbb\xbf'; sed 's/\r$//; s/$/\r/' "$README_SOURCE"; } > "$stage/$README_NAME"
(cd "$stage" && sha256sum "$EXE_NAME" | sed 's/$/\r/' > "$EXE_NAME.sha256")

# Python's zipfile marks the names as UTF-8 (general purpose flag bit 11), which Windows 10 and
# later, 7-Zip and WinRAR honour; entries get the time of the last commit so that two packages
# of the same commit are byte-identical.
mkdir -p "$DIST"
stamp=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || date +%s)
python3 - "$stage" "$DIST/$ZIP_NAME" "$stamp" "$EXE_NAME" "$README_NAME" "$EXE_NAME.sha256" <<'PY'
import os, sys, time, zipfile
stage, target, stamp, *names = sys.argv[1:]
when = time.gmtime(int(stamp))[:6]
with zipfile.ZipFile(target + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for name in names:
        info = zipfile.ZipInfo(name, date_time=max(when, (1980, 1, 1, 0, 0, 0)))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(os.path.join(stage, name), "rb") as source:
            archive.writestr(info, source.read())
os.replace(target + ".part", target)
PY
(cd "$DIST" && sha256sum "$ZIP_NAME" > "$ZIP_NAME.sha256")

# Check what was written: the archive lists exactly the three files, and the checksum inside it
# matches the executable inside it.
python3 - "$DIST/$ZIP_NAME" "$EXE_NAME" <<'PY'
import hashlib, sys, zipfile
archive_path, exe_name = sys.argv[1:]
with zipfile.ZipFile(archive_path) as archive:
    names = sorted(archive.namelist())
    expected = sorted([exe_name, "说明.txt", exe_name + ".sha256"])
    if names != expected:
        sys.exit(f"unexpected entries {names}")
    if archive.testzip() is not None:
        sys.exit("corrupt archive")
    digest = hashlib.sha256(archive.read(exe_name)).hexdigest()
    recorded = archive.read(exe_name + ".sha256").decode("utf-8").split()[0]
    if digest != recorded:
        sys.exit("checksum inside the archive does not match the executable")
PY

size=$(stat -c %s "$built_exe")
echo "dist/$ZIP_NAME"
echo "  $EXE_NAME  $size bytes  sha256 $(sha256sum "$built_exe" | cut -d' ' -f1)"
echo "  dist/$ZIP_NAME.sha256: $(cut -d' ' -f1 "$DIST/$ZIP_NAME.sha256")"
