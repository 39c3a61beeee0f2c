#!/usr/bin/env bash
# Fails when a file includes from a layer above its own or from a folder beside it on the same
# layer (layers.txt, bottom up), or when a folder of code is on no layer. Only includes of the
# tree ("folder/File.h") are looked at; <...> includes are the system's and the libraries'.
# Usage: scripts/check-layers.sh [source root]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
# The tree's files: git's list in a checkout, else every source outside the build folders.
list_sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files '*.cpp' '*.h'
    else
        find . \( -path './build*' -o -path './.?*' -o -name third-party \) -prune -o \
            -type f \( -name '*.cpp' -o -name '*.h' \) -print | sed 's#^\./##'
    fi
}
list_sources | awk '
    # layers.txt first: the rank of each folder.
    FNR == NR {
        sub(/#.*/, "")
        if (NF == 0) next
        ++layer
        for (i = 1; i <= NF; ++i) rank[$i] = layer
        next
    }
    # The folder a path belongs to: the longest listed folder it starts with.
    function unit(path,    best, u) {
        best = ""
        for (u in rank)
            if (index(path, u "/") == 1 && length(u) > length(best)) best = u
        return best
    }
    {
        file = $0
        own = unit(file)
        if (own == "") {
            printf "%s: its folder is on no layer of layers.txt\n", file
            bad = 1
            next
        }
        line = 0
        while ((getline text < file) > 0) {
            ++line
            if (text !~ /^[ \t]*#[ \t]*include[ \t]*"[^"]+\//) continue
            inc = text
            sub(/^[^"]*"/, "", inc)
            sub(/".*/, "", inc)
            to = unit(inc)
            if (to == "" || to == own) continue
            if (rank[to] >= rank[own]) {
                printf "%s:%d: includes %s: %s is not below %s in layers.txt\n", file, line, inc, to, own
                bad = 1
            }
        }
        close(file)
    }
    END { exit bad }
' layers.txt - && echo "layers: every include goes down"
