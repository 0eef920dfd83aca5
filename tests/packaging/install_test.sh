#!/usr/bin/env bash
# The installation from `cmake --install` into a prefix of its own: its layout, the installed
# command line on the virtual board (the library found without LD_LIBRARY_PATH), the desktop
# files through their validators, the man pages, and the SDK from another program's side
# (pkg-config and find_package), built with the suite's own C compiler and CMake generator, so
# that it needs no tool the suite does not.
#   install_test.sh BUILD_DIR SOURCE_DIR C_COMPILER GENERATOR
set -uo pipefail
build=$1
source=$2
cc=$3
generator=$4
python=${5:-}
work=$(mktemp -d)
evm_pid=
cleanup() {
    [ -n "$evm_pid" ] && kill "$evm_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
app=org.larkspur.Larkspur

for file in bin/larkspur bin/larkspur-cli bin/larkspur-virtual-evm include/sundial.h include/tessaly.h \
    "$libdir/libSundial.so" "$libdir/libSundial.so.1" "$libdir/pkgconfig/sundial.pc" \
    "$libdir/cmake/Sundial/SundialConfig.cmake" "share/applications/$app.desktop" \
    "share/metainfo/$app.metainfo.xml" "share/icons/hicolor/scalable/apps/$app.svg" \
    "share/icons/hicolor/48x48/apps/$app.png" "share/icons/hicolor/256x256/apps/$app.png" \
    share/man/man1/larkspur.1.gz share/man/man1/larkspur-cli.1.gz \
    share/man/man1/larkspur-virtual-evm.1.gz share/man/man5/larkspur-script.5.gz \
    share/bash-completion/completions/larkspur-cli \
    share/doc/larkspur/copyright \
    share/doc/libsundial1/copyright share/doc/libsundial-dev/copyright; do
    [ -e "$prefix/$file" ] || fail "missing $file"
done
[ -e "$prefix/bin/virtual-evm" ] && fail "the virtual EVM is installed under its build name"
soname=$(objdump -p "$prefix/$libdir/libSundial.so.1" | awk '/SONAME/ {print $2}')
[ "$soname" = "libSundial.so.1" ] || fail "SONAME is '$soname'"
[ "$(readlink "$prefix/$libdir/libSundial.so")" = "libSundial.so.1" ] || fail "development link"

# The installed command line on the installed virtual board, from a clean environment.
"$prefix/bin/larkspur-virtual-evm" --link "$work/evm" --control "$work/evm.ctl" >"$work/evm.out" &
evm_pid=$!
for _ in $(seq 100); do
    [ -s "$work/evm.out" ] && break
    sleep 0.1
done
mkdir -p "$work/config"
read=$(env -i HOME="$work" XDG_CONFIG_HOME="$work/config" SUNDIAL_PORTS="$work/evm" \
    "$prefix/bin/larkspur-cli" --interface iic read 0x10 2>&1)
[ "$read" = "0x10, 0xC0" ] || fail "installed larkspur-cli read: '$read'"

# The installed completion, sourced as bash-completion sources it, takes the commands from the
# installed program's --help.
# shellcheck disable=SC2016 # expanded by that bash
completion=$(env -i HOME="$work" PATH="$prefix/bin:/usr/bin:/bin" bash --norc --noprofile -c '
source "$1"
COMP_LINE="larkspur-cli r"
COMP_POINT=${#COMP_LINE}
_larkspur_cli
echo "${COMPREPLY[*]}"' - "$prefix/share/bash-completion/completions/larkspur-cli" 2>&1)
[ "$completion" = "read run reset" ] ||
    fail "the installed completion of 'larkspur-cli r': '$completion'"

desktop-file-validate "$prefix/share/applications/$app.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml" >"$work/appstream.txt" ||
    { cat "$work/appstream.txt"; fail "appstreamcli validate"; }
for page in "$prefix"/share/man/man1/*.1.gz "$prefix"/share/man/man5/*.5.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
done

# Another program's side: the example with pkg-config, then with find_package. A sanitized
# library wants its runtime first, so a sanitized build builds the example that way too.
example=$source/link/examples
sanitize=()
if grep -q '^LARKSPUR_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
    sanitize=(-fsanitize=address,undefined)
fi
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
# shellcheck disable=SC2046
"$cc" -Wall -Wextra -Werror -pedantic "${sanitize[@]}" "$example/readregister.c" \
    $(pkg-config --cflags --libs sundial) -o "$work/readregister" ||
    fail "the example does not build with pkg-config"
answer=$(SUNDIAL_PORTS="$work/evm" LD_LIBRARY_PATH="$prefix/$libdir" "$work/readregister")
[ "$answer" = "$(printf 'Sundial 1.5.0.0\nport 1: register 0x10 = 0xC0 (code 0)')" ] ||
    fail "the example built with pkg-config said '$answer'"
cmake -S "$example" -B "$work/example" -G "$generator" -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_FLAGS="${sanitize[*]}" >/dev/null &&
    cmake --build "$work/example" >/dev/null || fail "the example does not build with find_package"
answer=$(SUNDIAL_PORTS="$work/evm" "$work/example/readregister" | head -1)
[ "$answer" = "Sundial 1.5.0.0" ] || fail "the example built with find_package said '$answer'"

# The Python package from the prefix, with nothing but PYTHONPATH pointing there: the module
# finds the prefix's library by itself, and a user's pytest run gets the fixtures from the
# distribution's entry point alone, also beside a conftest that names the plugin, with the
# installed virtual board found on PATH.
if [ -n "$python" ]; then
    site=$prefix/lib/python3/dist-packages
    for file in larkspur/__init__.py larkspur/pytest_plugin.py larkspur/_larkspur.pyi \
        larkspur/py.typed larkspur-*.dist-info/METADATA share/doc/python3-larkspur/copyright; do
        case $file in
        share/*) path=$prefix/$file ;;
        *) path=$site/$file ;;
        esac
        # shellcheck disable=SC2086
        ls $path >/dev/null 2>&1 || fail "missing $file"
    done
    ls "$site"/larkspur/_larkspur.*.so >/dev/null 2>&1 || fail "missing the compiled module"
    in_prefix() {
        env -i HOME="$work" XDG_CONFIG_HOME="$work/config" PATH="$prefix/bin:/usr/bin:/bin" \
            PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 "$@"
    }
    answer=$(in_prefix "$python" -c '
import sys, larkspur
with larkspur.Board(port=sys.argv[1], interface="iic") as evm:
    print(hex(evm.read(0x10)))' "$work/evm" 2>&1)
    [ "$answer" = "0xc0" ] || fail "the installed larkspur read: '$answer'"
    mkdir -p "$work/user/plain" "$work/user/named"
    printf 'def test_fixtures(evm, virtual_evm):\n    evm.write(0x11, 7)\n    assert virtual_evm.control("get 0x11") == "ok 0x07"\n' |
        tee "$work/user/plain/test_user.py" >"$work/user/named/test_user.py"
    echo 'pytest_plugins = ["larkspur.pytest_plugin"]' >"$work/user/named/conftest.py"
    for user in plain named; do
        in_prefix "$python" -m pytest -q -p no:cacheprovider "$work/user/$user" >"$work/pytest.txt" 2>&1 ||
            { cat "$work/pytest.txt"; fail "a user's pytest run ($user) with the installed plugin"; }
    done
fi
exit $status
