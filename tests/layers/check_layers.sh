#!/bin/bash
# SPDX-License-Identifier: MIT
# Fails when a file of src/ includes a header of a layer above its own, or anything of io/ but
# io/io.h. Layers, from the bottom: platform, link, device, image, transfer, commands. An include
# is resolved as the compiler resolves it (quoted: the file's own folder first; then src/, then
# the top of the tree, whence "io/io.h"), so "../x.h", a bare name and an angled name are all judged by the file they reach.
# Usage: check_layers.sh [source-tree]   (default: the tree this script is in)
set -u
root=$(cd "${1:-$(dirname "$0")/../..}" && pwd) || exit 2
layers=(platform link device image transfer commands)

declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

# Folds "." and ".." out of an absolute path, into $normal.
normalize() {
    local part
    local -a kept=()
    IFS=/ read -ra parts <<<"$1"
    for part in "${parts[@]}"; do
        case $part in
        "" | .) ;;
        ..) ((${#kept[@]})) && unset 'kept[-1]' ;;
        *) kept+=("$part") ;;
        esac
    done
    printf -v normal "/%s" "${kept[@]}"
}

# Sets $target to the file an include reaches, or empty when it is no file of the tree.
resolve() { # folder name quoted
    local candidate
    local -a places=("$root/src" "$root")
    [[ $3 == quoted ]] && places=("$1" "${places[@]}")
    target=
    for candidate in "${places[@]/%//$2}"; do
        [[ -f $candidate ]] && { normalize "$candidate"; target=$normal; return; }
    done
}

directive='^[[:space:]]*#[[:space:]]*include[[:space:]]*(["<])([^">]+)[">]'
failures=0
while IFS= read -r -d '' file; do
    relative=${file#"$root"/src/}
    own=${rank[${relative%%/*}]:--1}
    while IFS= read -r line; do
        [[ $line =~ $directive ]] || continue
        name=${BASH_REMATCH[2]}
        kind=angled
        [[ ${BASH_REMATCH[1]} == '"' ]] && kind=quoted
        resolve "${file%/*}" "$name" "$kind"
        if [[ -z $target ]]; then
            [[ $kind == angled ]] && continue # a system header
            problem="reaches no file"
        elif [[ $target == "$root/io/io.h" ]]; then
            continue
        elif [[ $target == "$root"/src/*/* ]]; then
            layer=${target#"$root"/src/}
            layer=${layer%%/*}
            ((${rank[$layer]:-99} <= own)) && continue
            problem="reaches ${target#"$root"/}, a layer above ${relative%%/*}"
        else
            problem="reaches ${target#"$root"/}; of io/ the program sees io/io.h only"
        fi
        echo "src/$relative: #include $name $problem"
        failures=$((failures + 1))
    done <"$file"
    ((own >= 0)) || { echo "src/$relative: in no layer's folder"; failures=$((failures + 1)); }
done < <(find "$root/src" -mindepth 2 -type f \( -name '*.cpp' -o -name '*.h' \) -print0)

((failures == 0)) || { echo "$failures include(s) break the layering"; exit 1; }
