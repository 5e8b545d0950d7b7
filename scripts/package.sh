#!/usr/bin/env bash
# Builds the Debian packages with dpkg-buildpackage (`make package`).
#   scripts/package.sh <folder> [<version>]
# The sources are copied into <folder>/src/velora and built there, so that the work tree stays
# clean and a later build of the same folder only compiles what changed. The packages, with
# their .changes and .buildinfo files, end up in <folder>/debs. With a version, the copy's
# changelog first gets an entry of that version (a rebuild with a higher version, as an
# upgrade test needs) and the packages go to <folder>/debs-<version>.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$1
version=${2:-}
mkdir -p "$folder/src/velora"
folder=$(cd "$folder" && pwd)
src="$folder/src/velora"

# The tracked and new files of the work tree (or everything but build folders outside git),
# with their times, so that unchanged files are not compiled again.
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' file; do
        [[ -e "$file" ]] && printf '%s\0' "$file"
    done
else
    find . -path './build*' -prune -o -path './.git' -prune -o \( -type f -o -type l \) -print0
fi | tar --null -T - -cf - | tar -xf - -C "$src"

if [[ -n "$version" ]]; then
    changelog=$(cat "$src/debian/changelog")
    maintainer=$(sed -n 's/^ -- \(.*>\)  .*/\1/p' "$src/debian/changelog" | head -1)
    {
        printf 'velora (%s) UNRELEASED; urgency=medium\n\n  * Rebuild.\n\n -- %s  %s\n\n' \
            "$version" "$maintainer" "$(date -R)"
        printf '%s\n' "$changelog"
    } >"$src/debian/changelog"
fi

# dh skips the whole build when its stamp is there; the copy may hold changed sources.
rm -f "$src/debian/debhelper-build-stamp"
rm -f "$folder"/src/*.deb "$folder"/src/*.changes "$folder"/src/*.buildinfo
(cd "$src" && dpkg-buildpackage -b -us -uc --no-pre-clean)

out="$folder/debs${version:+-$version}"
rm -rf "$out"
mkdir -p "$out"
mv "$folder"/src/*.deb "$folder"/src/*.changes "$folder"/src/*.buildinfo "$out"/
ls "$out"/*.deb
