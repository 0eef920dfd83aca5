#!/usr/bin/env bash
# scripts/check-includes on small trees: what it lets through and what it stops.
set -uo pipefail
checker=$1
status=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A tree with the layers in order; each case adds one file and expects the checker's verdict.
base() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree"/{link/include,notation,device,files,catalogue,session,panel,regview}
    mkdir -p "$work/tree"/{widgets,app,cli}
    cd "$work/tree" || exit 1
    printf '#pragma once\n' >link/include/sundial.h
    printf '#pragma once\n' >link/frame.h
    printf '#include "frame.h"\n#include "include/sundial.h"\n' >link/frame.cpp
    printf '#pragma once\n' >notation/numbers.h
    printf '#pragma once\n#include <sundial.h>\n#include "notation/numbers.h"\n' >device/access.h
    printf '#pragma once\n#include "device/access.h"\n' >files/script.h
    printf '#pragma once\n#include "device/access.h"\n' >catalogue/controlcatalogue.h
    printf '#pragma once\n#include "catalogue/controlcatalogue.h"\n#include "files/script.h"\n' \
        >session/board.h
    printf '#pragma once\n#include <QFont>\n' >widgets/fonts.h
    printf '#include "catalogue/controlcatalogue.h"\n#include "widgets/fonts.h"\n' \
        >panel/controlpanel.cpp
    printf '#pragma once\n#include "widgets/fonts.h"\n' >regview/mapwindow.h
    printf '#include "catalogue/controlcatalogue.h"\n#include "regview/mapwindow.h"\n' \
        >app/window.cpp
    printf '#pragma once\n#include "session/board.h"\n' >cli/command.h
    printf '#include "command.h"\n#include <string>\n' >cli/command.cpp
}

expect() {
    local name=$1 verdict=$2 needle=${3:-} output code
    output=$("$checker" "$work/tree" 2>&1)
    code=$?
    if [ "$verdict" = pass ] && [ $code -ne 0 ]; then
        echo "FAIL $name: refused a good tree: $output"
        status=1
    elif [ "$verdict" = fail ] && { [ $code -eq 0 ] || [[ $output != *"$needle"* ]]; }; then
        echo "FAIL $name: expected a refusal naming '$needle', got ($code) $output"
        status=1
    fi
}

base
expect "layers in order" pass

# Each case: a file and its lines, then the refusal expected.
while IFS='|' read -r name file lines needle; do
    base
    printf "$lines" >"$file"
    expect "$name" fail "$needle"
done <<'CASES'
core including a window|device/upward.cpp|#include "regview/mapwindow.h"\n|device/upward.cpp:1: includes regview/mapwindow.h (windows) from the device floor
notation including the device|notation/up.cpp|#include "device/access.h"\n|notation/up.cpp:1: includes device/access.h (device) from the notation floor
device including the session|device/up.cpp|#include "session/board.h"\n|device/up.cpp:1: includes session/board.h (session) from the device floor
device including a script|device/across.cpp|#include "files/script.h"\n|device/across.cpp:1: includes files/script.h (files) from the device floor
files including the catalogue|files/across.cpp|#include "catalogue/controlcatalogue.h"\n|files/across.cpp:1: includes catalogue/controlcatalogue.h (catalogue) from the files floor
catalogue including a script|catalogue/across.cpp|#include "files/script.h"\n|catalogue/across.cpp:1: includes files/script.h (files) from the catalogue floor
a window including the session|panel/up.cpp|#include "session/board.h"\n|panel/up.cpp:1: includes session/board.h (session) from the windows floor
Qt in the session|session/text.cpp|#include <QString>\n|session/text.cpp:1: <QString> where no Qt is linked
link internals from outside|device/peek.cpp|\n#include "link/frame.h"\n|device/peek.cpp:2: link/frame.h is private
Qt in the core|catalogue/catalogue.cpp|#include <QString>\n|<QString> where no Qt is linked
kit including a window|widgets/kit.cpp|#include "regview/mapwindow.h"\n|widgets/kit.cpp:1: includes regview/mapwindow.h (windows) from the kit floor
command line including the kit|cli/look.cpp|#include "widgets/fonts.h"\n|cli/look.cpp:1: includes widgets/fonts.h (kit) from the cli floor
Qt in the command line|cli/text.cpp|#include <QString>\n|cli/text.cpp:1: <QString> where no Qt is linked
a bare name from another folder|files/bare.cpp|#include "access.h"\n|"access.h" is no header of files/
an unknown header|files/lost.cpp|#include "device/nowhere.h"\n|"device/nowhere.h" is no header of the program
a private link header by angle|device/angle.cpp|#include <sundialframe.h>\n|<sundialframe.h> is not a public header
CASES

exit $status
