#!/bin/sh
# Fails when a C++ source of the repository differs from what clang-format makes of it
# with the committed .clang-format. Fix with: scripts/check-format.sh --fix
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null)
[ -n "$files" ] || files=$(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
if [ "$1" = "--fix" ]; then
    echo "$files" | xargs clang-format -i
    exit 0
fi
if echo "$files" | xargs clang-format --dry-run --Werror 2>/tmp/check-format.$$; then
    rm -f /tmp/check-format.$$
    echo "format: every source as clang-format makes it"
    exit 0
fi
grep -o '^[^:]*\.\(cpp\|h\)' /tmp/check-format.$$ | sort -u | sed 's/^/not formatted: /' >&2
rm -f /tmp/check-format.$$
exit 1
