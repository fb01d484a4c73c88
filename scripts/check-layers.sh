#!/bin/sh
# Fails when a file of the program includes a folder above its own layer or a sibling
# job folder:
#   base        includes base/ only (and the platform interfaces, common/, resources/)
#   disk        base/ and disk/
#   job folders ghost/ wim/ iso/ setup/ rebootmode/ tools/: base/, disk/ and their own
#   shell app/  anything of the program
# No folder of the program includes a backend (platform/win32, platform/fake).
#   check-layers.sh [source root]
root=${1:-$(dirname "$0")/..}
jobs="ghost wim iso setup rebootmode tools"
status=0

allowed_for() {
    case $1 in
        base) echo "base" ;;
        disk) echo "base disk" ;;
        app) echo "base disk app $jobs" ;;
        *) echo "base disk $1" ;;
    esac
}

for layer in base disk app $jobs; do
    [ -d "$root/$layer" ] || continue
    allowed=$(allowed_for "$layer")
    for file in $(find "$root/$layer" -name '*.h' -o -name '*.cpp'); do
        grep -o '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*"' "$file" |
            sed 's/.*"\(.*\)"/\1/' | while read -r included; do
            folder=${included%%/*}
            [ "$folder" = "$included" ] && continue  # a file beside it
            case $included in
                platform/win32/* | platform/fake/*)
                    echo "$file: includes the backend $included"; echo x ;;
            esac
            case " base disk app $jobs " in
                *" $folder "*) ;;
                *) continue ;;  # platform interfaces, common/, resources/
            esac
            case " $allowed " in
                *" $folder "*) ;;
                *) echo "$file: the $layer layer may not include $included"; echo x ;;
            esac
        done
    done
done > "${TMPDIR:-/tmp}/check-layers.$$"
if grep -q '^x$' "${TMPDIR:-/tmp}/check-layers.$$"; then
    grep -v '^x$' "${TMPDIR:-/tmp}/check-layers.$$" >&2
    status=1
fi
rm -f "${TMPDIR:-/tmp}/check-layers.$$"
[ $status -eq 0 ] && echo "layers: no include goes up or sideways"
exit $status
