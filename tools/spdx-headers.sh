#!/bin/sh
# SPDX-License-Identifier: MIT
# Puts the licence line first in every source file of the project that lacks it:
#   // SPDX-License-Identifier: MIT   in C++ sources and headers,
#   # SPDX-License-Identifier: MIT    in CMake files, shell and Python scripts (after a #! line).
# A file that has the line among its first three lines is left as it is, so running it again
# changes nothing. With --check it changes nothing and lists the files that lack the line
# (status 1 if there are any).
#   sh tools/spdx-headers.sh [--check]
set -eu
cd "$(dirname "$0")/.."
check=false
case "${1:-}" in
--check) check=true ;;
"") ;;
*)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac

tag="SPDX-License-Identifier: MIT"
# The project's files: tracked, or new and not ignored (build folders are ignored).
git ls-files -z --cached --others --exclude-standard | tr '\0' '\n' | sort -u |
    while IFS= read -r file; do
        [ -f "$file" ] && [ ! -L "$file" ] || continue
        case "${file##*/}" in
        *.cpp | *.cc | *.c | *.h | *.hpp) comment="//" ;;
        CMakeLists.txt | *.cmake | *.sh | *.py) comment="#" ;;
        *.*) continue ;;
        *)
            # A script without an extension (bench/run): known by its #! line.
            head -c 2 "$file" | grep -q '^#!' || continue
            comment="#"
            ;;
        esac
        if head -n 3 "$file" | grep -q "$tag"; then continue; fi
        if $check; then
            echo "$file"
            continue
        fi
        tmp=$(mktemp)
        # After a #! line, otherwise first; the file keeps its mode (written over, not moved).
        awk -v line="$comment $tag" '
            NR == 1 && /^#!/ { print; print line; next }
            NR == 1 { print line }
            { print }
            END { if (NR == 0) print line }' "$file" >"$tmp"
        cat "$tmp" >"$file"
        rm -f "$tmp"
        echo "spdx-headers: $file"
    done >"${TMPDIR:-/tmp}/spdx-headers.$$"
status=0
if $check && [ -s "${TMPDIR:-/tmp}/spdx-headers.$$" ]; then
    echo "spdx-headers: these files lack the line '$tag' (sh tools/spdx-headers.sh adds it):" >&2
    cat "${TMPDIR:-/tmp}/spdx-headers.$$" >&2
    status=1
else
    cat "${TMPDIR:-/tmp}/spdx-headers.$$"
fi
rm -f "${TMPDIR:-/tmp}/spdx-headers.$$"
exit $status
