#!/bin/sh
# Builds the Debian package, unpacks it into a scratch root with dpkg -x, runs
# zorezaz-cli from there and checks that everything a desktop needs is in place.
# Usage: package_test.sh CPACK CPACK_CONFIG WORK_DIR VERSION "ICON_SIZES"
# Exit status 77 (skipped) when the Debian packaging tools are missing.
set -eu
cpack=$1 config=$2 work=$3 version=$4 sizes=$5

for tool in dpkg dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (dpkg-dev)"
        exit 77
    fi
done

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work"
if ! "$cpack" -G DEB --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
deb=$work/out/zorezaz_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
    ls "$work/out"
    echo "FAIL: cpack made no $deb"
    exit 1
fi

# The control data: dependencies come from the linked libraries.
[ "$(dpkg-deb -f "$deb" Package)" = zorezaz ] || fail "Package is not zorezaz"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libjpeg62-turbo libqt6core6 libqt6widgets6; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$lib" ||
        fail "Depends lacks $lib: '$depends'"
done

# Every entry lies below /usr and belongs to root.
dpkg-deb -c "$deb" >"$work/contents"
awk '$2 != "root/root" { print "FAIL: not owned by root: " $0 }' "$work/contents" | grep . && failures=$((failures + 1))
awk '$6 !~ /^\.\/usr\// { print "FAIL: outside /usr: " $0 }' "$work/contents" | grep . && failures=$((failures + 1))

root=$work/root
dpkg -x "$deb" "$root"

# The programs run from the scratch root, with no path into the build tree.
for program in zorezaz zorezaz-cli; do
    [ -x "$root/usr/bin/$program" ] || fail "no program usr/bin/$program"
done
if "$root/usr/bin/zorezaz-cli" --help >"$work/help" 2>"$work/help.err"; then
    head -n 1 "$work/help" | grep -q '^Usage: zorezaz-cli START' ||
        fail "zorezaz-cli --help printed no usage: $(head -n 1 "$work/help")"
else
    fail "zorezaz-cli --help failed: $(cat "$work/help.err")"
fi
for program in zorezaz zorezaz-cli; do
    if readelf -d "$root/usr/bin/$program" | grep -Eq 'RPATH|RUNPATH'; then
        fail "$program carries a library search path: $(readelf -d "$root/usr/bin/$program" | grep -E 'RPATH|RUNPATH')"
    fi
    if ldd "$root/usr/bin/$program" | grep -q 'not found'; then
        fail "$program misses libraries: $(ldd "$root/usr/bin/$program" | grep 'not found')"
    fi
done

# The desktop entry starts the installed program with the installed icon.
desktop=$root/usr/share/applications/zorezaz.desktop
if [ -f "$desktop" ]; then
    grep -qx 'Exec=zorezaz' "$desktop" || fail "the desktop entry does not start zorezaz"
    grep -qx 'Icon=zorezaz' "$desktop" || fail "the desktop entry does not name the icon zorezaz"
else
    fail "no desktop entry usr/share/applications/zorezaz.desktop"
fi

# The icon: the SVG and one PNG per size, each as wide as its folder says.
icons=$root/usr/share/icons/hicolor
[ -f "$icons/scalable/apps/zorezaz.svg" ] || fail "no scalable icon"
for size in $sizes; do
    png=$icons/${size}x${size}/apps/zorezaz.png
    if [ -f "$png" ]; then
        # PNG: 8-byte signature, IHDR length and type, then the width (big-endian).
        width=$(od -An -tu1 -j16 -N4 "$png" | awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }')
        [ "$width" = "$size" ] || fail "$png is $width pixels wide"
    else
        fail "no ${size}x${size} icon"
    fi
done

# AppStream data for this version, naming the desktop entry that is shipped.
metainfo=$root/usr/share/metainfo/io.github.zidovez.Zorezaz.metainfo.xml
if [ -f "$metainfo" ]; then
    grep -q "<release version=\"$version\"" "$metainfo" ||
        fail "the metainfo has no release entry for $version (packaging/io.github.zidovez.Zorezaz.metainfo.xml)"
    grep -q '<launchable type="desktop-id">zorezaz.desktop</launchable>' "$metainfo" ||
        fail "the metainfo does not launch zorezaz.desktop"
else
    fail "no AppStream metainfo"
fi

# Manual pages, gzipped, of this version.
for page in zorezaz.1 zorezaz-cli.1; do
    gz=$root/usr/share/man/man1/$page.gz
    if gzip -t "$gz" 2>/dev/null; then
        gzip -dc "$gz" | grep -q "^\.TH .* \"Zorezaz $version\"" || fail "$page does not name version $version"
    else
        fail "no gzipped manual page usr/share/man/man1/$page.gz"
    fi
done

# Debian's copyright and changelog; the changelog's newest entry is this version.
doc=$root/usr/share/doc/zorezaz
[ -f "$doc/copyright" ] || fail "no usr/share/doc/zorezaz/copyright"
if gzip -t "$doc/changelog.gz" 2>/dev/null; then
    gzip -dc "$doc/changelog.gz" | head -n 1 | grep -q "^zorezaz ($version) " ||
        fail "the changelog's newest entry is not $version (packaging/changelog)"
else
    fail "no usr/share/doc/zorezaz/changelog.gz"
fi

[ -d "$root/usr/share/zorezaz/translations" ] || fail "no folder usr/share/zorezaz/translations"
# The German translation, where the installed program looks (beside its bin/).
[ -s "$root/usr/share/zorezaz/translations/zorezaz_de.qm" ] || fail "no usr/share/zorezaz/translations/zorezaz_de.qm"
others=$(find "$root/usr/share/zorezaz/translations" -mindepth 1 ! -name '*.qm')
[ -z "$others" ] || fail "more than translations in usr/share/zorezaz/translations: $others"
# Qt's own German (standard buttons, file dialogs) is recommended, not required.
dpkg-deb -f "$deb" Recommends | grep -q 'qt6-translations-l10n' || fail "Recommends lacks qt6-translations-l10n"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "zorezaz_${version} unpacks and runs: $(wc -l <"$work/contents") entries"
