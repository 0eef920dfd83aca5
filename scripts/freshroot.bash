# A clean Debian 12 root for CI and the installation check; sourced, not run.
#   apt_mirror                     the machine's own Debian mirror, from its apt configuration
#   freshroot_make ROOT LOG        debootstrap --variant=minbase bookworm into ROOT
#   freshroot_mount ROOT           /proc, /sys, /dev, /dev/pts (and /dev/shm) bound into ROOT
#   freshroot_run ROOT COMMAND     COMMAND in bash inside ROOT as root, in a clean environment
#                                  (PATH, and root's HOME, USER and LOGNAME)
#   freshroot_unmount ROOT         what runs inside ROOT stopped, every mount under it taken
#                                  down; fails if one stays
#   freshroot_remove ROOT          unmounted, then deleted; never deletes while a mount stays
# Downloaded packages are kept in /var/cache/larkspur-ci between runs: apt checks each against
# the archive's signed lists, so the root is as fresh as one made from the network alone.

freshroot_cache=${LARKSPUR_CI_CACHE:-/var/cache/larkspur-ci}

# The first URIs: of /etc/apt/sources.list.d/*.sources, else the first deb line of
# /etc/apt/sources.list; comments skipped.
apt_mirror() {
    local file uri
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        uri=$(sed -e 's/#.*//' "$file" | awk 'tolower($1) == "uris:" && NF > 1 { print $2; exit }')
        if [ -n "$uri" ]; then
            echo "$uri"
            return 0
        fi
    done
    if [ -f /etc/apt/sources.list ]; then
        # deb [options] URI suite components
        uri=$(sed -e 's/#.*//' -e 's/\[[^]]*\]//' /etc/apt/sources.list |
            awk '$1 == "deb" && NF > 1 { print $2; exit }')
        if [ -n "$uri" ]; then
            echo "$uri"
            return 0
        fi
    fi
    return 1
}

freshroot_make() {
    local root=$1 log=$2 mirror
    mirror=$(apt_mirror) || {
        echo "no Debian mirror in the apt configuration" >"$log"
        return 1
    }
    mkdir -p "$freshroot_cache/debootstrap"
    debootstrap --variant=minbase --cache-dir="$freshroot_cache/debootstrap" bookworm "$root" \
        "$mirror" >"$log" 2>&1 || return 1
    cp /etc/resolv.conf "$root/etc/resolv.conf"
}

freshroot_mount() {
    local root=$1 mount
    local mounts=(proc sys dev dev/pts)
    mountpoint -q /dev/shm && mounts+=(dev/shm)
    for mount in "${mounts[@]}"; do
        mkdir -p "$root/$mount"
        # Private: what is mounted or unmounted inside never reaches the machine's own tree.
        mount --bind "/$mount" "$root/$mount" && mount --make-private "$root/$mount" || return 1
    done
    mkdir -p "$freshroot_cache/apt/partial" "$root/var/cache/apt/archives"
    mount --bind "$freshroot_cache/apt" "$root/var/cache/apt/archives" || return 1
}

freshroot_run() {
    chroot "$1" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root USER=root LOGNAME=root /bin/bash -c "$2"
}

# The mount points under ROOT, deepest first (mountinfo escapes blanks as octal).
freshroot_mounts() {
    local root
    root=$(realpath -m "$1")
    awk -v root="$root" '{ gsub(/\\040/, " ", $5) } $5 == root || index($5, root "/") == 1 { print $5 }' \
        /proc/self/mountinfo | sort -r
}

# Processes still running inside ROOT (a suite cut short) would keep its mounts busy.
freshroot_stop() {
    local root proc
    root=$(realpath -m "$1")
    for proc in /proc/[0-9]*; do
        case "$(readlink "$proc/root" 2>/dev/null)" in
        "$root" | "$root"/*) kill -KILL "${proc#/proc/}" 2>/dev/null || true ;;
        esac
    done
}

freshroot_unmount() {
    local mount
    freshroot_stop "$1"
    while read -r mount; do
        umount "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null || true
    done < <(freshroot_mounts "$1")
    [ -z "$(freshroot_mounts "$1")" ]
}

freshroot_remove() {
    local root=$1
    [ -e "$root" ] || return 0
    if ! freshroot_unmount "$root"; then
        echo "Left $root in place: still mounted there: $(freshroot_mounts "$root" | tr '\n' ' ')" >&2
        return 1
    fi
    rm -rf --one-file-system "$root"
}
