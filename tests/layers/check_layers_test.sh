#!/bin/bash
# SPDX-License-Identifier: MIT
# check_layers.sh against a copy of the tree with one include planted at a time: every include
# that points up, sideways or into io/ must fail the check, and an allowed one must not.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source_root=$(cd "$here/../.." && pwd)
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT

#        file to plant in         | include line                              | expected
cases=(
    "src/image/buffers.cpp        |#include \"commands/commands.h\"           |fails"
    "src/image/buffers.cpp        |#include <commands/commands.h>             |fails"
    "src/device/readiness.cpp     |#include \"commands/fuse_commands.h\"      |fails"
    "src/device/readiness.cpp     |#include \"../commands/fuse_commands.h\"   |fails"
    "src/device/readiness.cpp     |#include \"transfer/transfer.h\"           |fails"
    "src/link/adapter.cpp         |#include \"sim/board.h\"                   |fails"
    "src/link/adapter.cpp         |#include \"io/sim/board.h\"                |fails"
    "src/link/adapter.cpp         |#include \"../../io/sim/board.h\"          |fails"
    "src/link/isp.h               |#include \"device/device.h\"               |fails"
    "src/transfer/readback.cpp    |#include \"tests/support/program_runner.h\"|fails"
    "src/commands/help.cpp        |#include \"transfer/transfer.h\"           |passes"
    "src/device/readiness.cpp     |#include \"../link/isp.h\"                 |passes"
    "src/image/buffers.cpp        |#include <vector>                          |passes"
    "src/platform/files_posix.cpp |#include \"files.h\"                       |passes"
)

cp -r "$source_root/src" "$source_root/io" "$copy/"
mkdir -p "$copy/tests/support" && cp "$source_root/tests/support/program_runner.h" "$copy/tests/support/"
failed=0
for row in "${cases[@]}"; do
    IFS='|' read -r file line expected <<<"$row"
    file=${file%% *} line=${line%"${line##*[![:space:]]}"}
    cp "$source_root/$file" "$copy/$file"
    printf '%s\n' "$line" >>"$copy/$file"
    if "$here/check_layers.sh" "$copy" >/dev/null; then got=passes; else got=fails; fi
    cp "$source_root/$file" "$copy/$file"
    if [[ $got != "$expected" ]]; then
        echo "$file + $line: the check $got, expected it $expected"
        failed=1
    fi
done
"$here/check_layers.sh" "$copy" >/dev/null || { echo "the unchanged copy fails"; failed=1; }
exit $failed
