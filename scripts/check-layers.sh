#!/usr/bin/env bash
# Checks the includes against the layering of the engine (see the picture in
# the top-level CMakeLists.txt). Run as a test; prints one line per broken
# rule, naming the file, the line and the rule, and fails if there is any.
#
#   scripts/check-layers.sh [ROOT]     ROOT defaults to the repository
#
# Rules:
#   platform-only headers  outside platform/, no engine, content or tool file
#                          includes SDL, GL, epoxy, glslang, SPIRV-Cross or
#                          operating-system headers
#   platform detail        outside platform/ (and the platform's own tests),
#                          nothing includes a platform/**/detail/ header
#   layer order            a layer includes only its own folder and the
#                          layers below it: core < platform < console <
#                          display < resources < scene < music < app; no layer
#                          includes content/, tools/, tests/, bench/ or fuzz/
set -uo pipefail

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

layers=(core platform console display resources scene music app)
rank_of() {
    local i
    for i in "${!layers[@]}"; do
        [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}

# Headers only the platform layer may include.
os_headers='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(SDL2?/|SDL[._]|epoxy/|GL/|GLES[0-9]*/|EGL/|KHR/|glslang/|SPIRV/|spirv_cross/|spirv-tools/|unistd\.h|sys/|dlfcn\.h|fcntl\.h|pthread\.h|poll\.h|signal\.h|termios\.h|windows\.h|Windows\.h|intrin\.h|x86intrin\.h)'
include_line='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)"'

failures=0
report() { # file line rule text
    echo "check-layers: $1:$2: $3: $4"
    failures=$((failures + 1))
}

# grep -n over the C++ files below the folders that exist: file:line:text.
search() { # pattern folders...
    local pattern=$1 folder folders=()
    shift
    for folder in "$@"; do [ -d "$folder" ] && folders+=("$folder"); done
    [ ${#folders[@]} -gt 0 ] || return 0
    grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.inl' "$pattern" "${folders[@]}" | sort
}

# Rule: platform-only headers.
while IFS=: read -r file line text; do
    report "$file" "$line" "platform-only headers" "$text (only platform/ may include SDL, GL, glslang, SPIRV-Cross or OS headers)"
done < <(search "$os_headers" core console display resources scene music app content tools)

# Rule: platform detail, for everything outside platform/ but its tests.
while IFS=: read -r file line text; do
    case "$file" in
        tests/gfx/* | tests/platform/*) continue ;;
    esac
    report "$file" "$line" "platform detail" "$text (platform/**/detail/ headers are the platform's own)"
done < <(search '^[[:space:]]*#[[:space:]]*include[[:space:]]*"platform/(.*/)?detail/' \
             core console display resources scene music app content tools tests bench fuzz)

# Rule: layer order.
for layer in "${layers[@]}"; do
    own=$(rank_of "$layer")
    while IFS=: read -r file line text; do
        [[ $text =~ $include_line ]] || continue
        target=${BASH_REMATCH[1]%%/*}
        case "$target" in
            content | tools | tests | bench | fuzz)
                report "$file" "$line" "layer order" "$text ($layer/ may not include $target/)"
                continue ;;
        esac
        rank=$(rank_of "$target")
        if [ "$rank" -gt "$own" ]; then
            report "$file" "$line" "layer order" "$text ($layer/ may not include $target/, a layer above it)"
        fi
    done < <(search "$include_line" "$layer")
done

if [ "$failures" -gt 0 ]; then
    echo "check-layers: $failures include(s) break the layering" >&2
    exit 1
fi
echo "check-layers: includes follow the layers"
