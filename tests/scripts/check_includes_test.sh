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
    mkdir -p "$work/tree"/{link/include,device,files,panel,regview,widgets,app}
    cd "$work/tree" || exit 1
    printf '#pragma once\n' >link/include/sundial.h
    printf '#pragma once\n' >link/frame.h
    printf '#include "frame.h"\n#include "sundial.h"\n' >link/frame.cpp
    printf '#pragma once\n#include "sundial.h"\n' >device/access.h
    printf '#include "access.h"\n' >files/script.cpp
    printf '#pragma once\n#include "access.h"\n' >panel/controlcatalogue.h
    printf '#pragma once\n#include <QFont>\n' >widgets/fonts.h
    printf '#include "controlcatalogue.h"\n#include "fonts.h"\n' >panel/controlpanel.cpp
    printf '#pragma once\n#include "fonts.h"\n' >regview/mapwindow.h
    printf '#include "controlcatalogue.h"\n#include "mapwindow.h"\n#include <QWidget>\n' \
        >app/window.cpp
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

base
printf '#include "window.h"\n' >app/window.h
printf '#include "window.h"\n' >device/upward.cpp
expect "core including the shell" fail "device/upward.cpp:1: includes app/window.h"

base
printf '\n#include "frame.h"\n' >device/peek.cpp
expect "link internals from outside" fail "device/peek.cpp:2: link/frame.h is private"

base
printf '#include <QString>\n' >panel/controlcatalogue.cpp
expect "Qt in the core" fail "<QString> where no Qt is linked"

base
printf '#include "controlcatalogue.h"\n#include "mapwindow.h"\n' >widgets/kit.cpp
expect "kit including a window" fail "widgets/kit.cpp:2: includes regview/mapwindow.h"

base
printf '#include "nowhere.h"\n' >files/lost.cpp
expect "unknown header" fail "\"nowhere.h\" is no header"

base
printf '#pragma once\n' >files/access.h
printf '#include "access.h"\n' >panel/bindingmath.cpp
expect "a name in two folders" fail "names headers in two folders"

exit $status
