#!/usr/bin/env bash
# Fetches and unpacks a Debian source package (with Debian's patches applied) into DEST.
#
#   web/debian-source.sh APT_DIR PACKAGE VERSION DEST
#
# The source entries are derived from the machine's own package sources (every "deb" entry of
# /etc/apt/sources.list and /etc/apt/sources.list.d becomes a "deb-src" one), so the sources come
# from wherever the machine's packages come from. They live in APT_DIR with their package lists,
# apart from the machine's: nothing of the machine's apt set-up changes, and no root is needed.
set -euo pipefail
if [ $# -ne 4 ]; then
  echo "usage: web/debian-source.sh APT_DIR PACKAGE VERSION DEST" >&2
  exit 2
fi
apt_dir=$1 package=$2 version=$3 dest=$4

mkdir -p "$apt_dir/lists/partial" "$apt_dir/sources.list.d" "$apt_dir/cache/archives/partial"
derived=$apt_dir/sources.list.d
rm -f "$derived"/*
# One-line entries: "deb [options] URI SUITE COMPONENT..." -> "deb-src ...".
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$list" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$list"
done > "$derived/derived.list"
# deb822 stanzas: those whose Types include deb (and that are not disabled) with Types: deb-src.
for sources in /etc/apt/sources.list.d/*.sources; do
  [ -f "$sources" ] || continue
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       {
         if (!match($0, /(^|\n)Types:[^\n]*/)) next
         types = substr($0, RSTART, RLENGTH)
         if (types !~ /[ \t]deb([ \t]|$)/) next
         if ($0 ~ /(^|\n)Enabled:[ \t]*(no|false)/) next
         sub(/Types:[^\n]*/, "Types: deb-src")
         print
       }' "$sources"
done > "$derived/derived.sources"
if [ ! -s "$derived/derived.list" ] && [ ! -s "$derived/derived.sources" ]; then
  echo "debian-source: this machine's apt sources name no Debian archive to take source packages from" >&2
  exit 1
fi

apt_options=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$derived"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o "APT::Sandbox::User=$(id -un)")
apt-get "${apt_options[@]}" -qq update
work=$(mktemp -d "${TMPDIR:-/tmp}/keldrin-source.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get "${apt_options[@]}" -qq source --download-only "$package=$version" >/dev/null)
rm -rf "$dest"
# apt checked the files against the archive's signed index; dpkg-source checks them against the
# .dsc again and applies Debian's patches. Its complaint that it cannot check the .dsc's own
# signature without Debian's developer keys is left out unless unpacking fails.
if ! dpkg-source -x "$work"/*.dsc "$dest" >"$work/unpack.log" 2>&1; then
  cat "$work/unpack.log" >&2
  exit 1
fi
