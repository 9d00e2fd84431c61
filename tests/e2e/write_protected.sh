#!/bin/sh
# The write-protected installation scenarios (WriteProtected.*): an installation folder in which
# nobody may create, delete or rename anything, so that writing there fails with "access denied"
# under Wine even for root. The folder is made immutable with `chattr +i` for the run and always
# made writable again and removed afterwards.
#   $1 the GoogleTest entry script, then: the folder to use, the tool, the substitute browser and
#   the end-to-end test program
set -u
entry=$1; shift
dir=$1
chattr -i "$dir" 2>/dev/null
rm -rf "$dir"
mkdir -p "$dir/Setting" || exit 1
cp "$2" "$dir/velmo_portable.exe" && cp "$3" "$dir/velmoexplorer.exe" || exit 1
# A portable folder carried here from a place that no longer exists.
printf 'C:\\velmo-moved-away\\Setting\r\nC:\\velmo-moved-away\\cache\r\nC:\\velmo-moved-away\\Setting\\Cookies\r\n' \
  > "$dir/path"
trap 'chattr -i "$dir" 2>/dev/null; rm -rf "$dir"' EXIT
trap 'exit 1' HUP INT TERM
if ! chattr +i "$dir"; then
  echo "chattr +i failed on $dir: it needs root and a file system that supports it." \
       "The write-protected scenarios will be skipped."
fi
sh "$entry" e2e_write_protected "$4" --gtest_color=no --gtest_filter='WriteProtected.*'
