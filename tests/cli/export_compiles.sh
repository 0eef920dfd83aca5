#!/bin/sh
# The exports as firmware and drivers take them: the C header compiles without a warning under
# gcc and clang, as C99 and as C++, and its table applied to a register image gives the
# snapshot's values; the Linux tables compile against regmap's two structures; the header of
# definitions alone (what the development package installs) compiles the same way.
#   export_compiles.sh LARKSPUR_CLI TESSALY_H
set -eu
cli=$1
definitions=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

printf '# a setup\r\n0x11, 0x05\r\n0x13, 0x02\r\n0x16, 0x80 # wide\r\n0x18, 0xD7\r\n' >"$work/setup.csv"
"$cli" export --format c "$work/setup.csv" >"$work/tessaly.h" || fail "export --format c"
"$cli" export --format linux "$work/setup.csv" >"$work/regmap.inc" || fail "export --format linux"
expected="C0 05 00 02 00 00 80 00 D7 FF"

cat >"$work/apply.c" <<'PROGRAM'
#include "tessaly.h"
#include "tessaly.h" /* the guard holds */
#include <stdio.h>

int main(void) {
    unsigned char image[TESSALY_REGISTER_COUNT] = {0};
    unsigned i;
    for (i = 0; i < sizeof tessaly_init / sizeof tessaly_init[0]; ++i) {
        image[tessaly_init[i].reg - TESSALY_FIRST_REGISTER] = tessaly_init[i].value;
    }
    for (i = 0; i < TESSALY_REGISTER_COUNT; ++i) {
        printf(i == 0 ? "%02X" : " %02X", image[i]);
    }
    printf("\n");
    /* A field's value in place is the register's bits under its mask. */
    if (TESSALY_FIELD(DACFMT, TESSALY_DACFMT_24BIT_LEFT_JUSTIFIED_DSP) !=
        (image[TESSALY_DACFMT_REG - TESSALY_FIRST_REGISTER] & TESSALY_DACFMT_MASK)) {
        return 1;
    }
    return 0;
}
PROGRAM

cat >"$work/regmap.c" <<'PROGRAM'
#include <stdio.h>
/* As <linux/regmap.h> has them. */
struct reg_sequence {
    unsigned int reg;
    unsigned int def;
    unsigned int delay_us;
};
struct reg_default {
    unsigned int reg;
    unsigned int def;
};
#include "regmap.inc"

int main(void) {
    unsigned i;
    for (i = 0; i < sizeof tessaly_init_seq / sizeof tessaly_init_seq[0]; ++i) {
        printf(i == 0 ? "%02X" : " %02X", tessaly_init_seq[i].def);
    }
    printf("\n");
    return tessaly_reg_defaults[0].reg == 0x10 && tessaly_reg_defaults[9].def == 0xFF ? 0 : 1;
}
PROGRAM

cat >"$work/definitions.c" <<PROGRAM
#include "$definitions"
int main(void) {
    return TESSALY_FIELD(DACFMT, TESSALY_DACFMT_24BIT_IIS) == 0 && TESSALY_ATT_DAC1_MASK == 0xFF ? 0 : 1;
}
PROGRAM

for compiler in gcc clang; do
    command -v "$compiler" >/dev/null || fail "$compiler is not installed"
    for language in c99 c++; do
        case $language in
        c99) flags="-x c -std=c99" ;;
        c++) flags="-x c++ -std=c++11" ;;
        esac
        for program in apply regmap definitions; do
            # shellcheck disable=SC2086
            "$compiler" $flags -Wall -Wextra -pedantic -Werror -I"$work" \
                -o "$work/$program" "$work/$program.c" ||
                fail "$program.c does not compile as $language with $compiler"
            out=$("$work/$program") || fail "$program ($compiler, $language) exits $?"
            if [ "$program" != definitions ] && [ "$out" != "$expected" ]; then
                fail "$program ($compiler, $language) gives '$out', not '$expected'"
            fi
        done
    done
done
echo "the exports compile and give the snapshot"
