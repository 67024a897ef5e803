#!/usr/bin/env bash
# Builds the Debian package kalmix_<version>_<arch>.deb in build/ (installing what it needs),
# checks it with lintian, and installs it into a throw-away root to check what it holds and
# that the packages it depends on are installed on this machine. With --no-setup it packages the
# build that is there (as CI does after scripts/test.sh) instead of installing and building.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != "--no-setup" ]; then
    bash scripts/setup.sh
fi

rm -f build/kalmix_*.deb
(cd build && cpack -G DEB > cpack.log 2>&1) || { cat build/cpack.log; exit 1; }
debs=(build/kalmix_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "cpack made no kalmix_<version>_<arch>.deb"; cat build/cpack.log; exit 1; }
echo "Package: $deb"

fail() {
    echo "package check failed: $*" >&2
    exit 1
}

# Lintian: errors fail (its exit status), warnings are shown. Running as root is expected in CI.
lintian --allow-root --tag-display-limit 0 "$deb" > build/lintian.log 2>&1 ||
    { cat build/lintian.log; fail "lintian reports errors"; }
cat build/lintian.log

# The dependencies: computed from the program's libraries, so the Qt libraries must be there.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libqt6multimedia6 libsqlite3-0 libpq5; do
    [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends lacks $lib"
done

# Install into a throw-away root: its own, empty package database, so nothing else is needed
# there (dependencies are checked against this machine below).
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-script-chrootless --log=/dev/null -i "$deb" \
    > build/dpkg-root.log 2>&1 || { cat build/dpkg-root.log; fail "dpkg could not install it"; }
for f in usr/bin/kalmix \
         usr/share/applications/org.example.kalmix.desktop \
         usr/share/icons/hicolor/scalable/apps/org.example.kalmix.svg \
         usr/share/metainfo/org.example.kalmix.metainfo.xml \
         usr/share/doc/kalmix/copyright usr/share/doc/kalmix/changelog.gz \
         usr/share/man/man1/kalmix.1.gz \
         usr/share/doc/Kalmix/readme.txt usr/share/doc/Kalmix/liesmich.txt; do
    [ -f "$root/$f" ] || fail "$f is not installed"
done
[ -x "$root/usr/bin/kalmix" ] || fail "usr/bin/kalmix is not executable"
if ldd "$root/usr/bin/kalmix" | grep -q 'not found'; then
    ldd "$root/usr/bin/kalmix"
    fail "the installed program misses libraries"
fi
dpkg --root="$root" --log=/dev/null -r kalmix > /dev/null 2>&1 || fail "dpkg could not remove it"
[ ! -e "$root/usr/bin/kalmix" ] || fail "removing the package left usr/bin/kalmix"

# Every package it depends on is installed on this machine in a fitting version.
IFS=',' read -ra deps <<< "$depends"
for dep in "${deps[@]}"; do
    [[ $dep != *"|"* ]] || continue # alternatives: dpkg-shlibdeps does not make them
    read -r name op version <<< "$(tr -d '()' <<< "$dep")"
    have=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null) || fail "$name is not installed here"
    if [ -n "${op:-}" ]; then
        dpkg --compare-versions "$have" "$op" "$version" || fail "$name $have is not $op $version"
    fi
done
echo "Package checked: $deb"
