#!/bin/sh
# Every #include "..." of our own headers goes down the layers: a source
# folder names only itself and the folders its line below allows. Prints each
# include that goes up or sideways as file:line: include, and fails.
#   check_layers.sh SOURCE_DIR [BUILD_DIR]
set -u
src=${1:?usage: check_layers.sh SOURCE_DIR [BUILD_DIR]}
build=${2:-}

# The layers, lowest first: a folder, the folders it may include (besides
# itself and whatever those may include), and why. A line names only folders
# declared above it, so there can be no circle. Each folder's tests
# (tests/<folder>) may include what the folder may, the tests of those
# folders, and tests/support.
LAYERS='
store                                        # files: open, output folder, pending file, kernel copy, publish; no format
find                                         # the walker: folders and wildcard masks; no format, no files written
meta/clean       store                       # parts and their kinds, the one cleaning policy, plans, the check
meta/exif        meta/clean                  # the EXIF decoder over a byte block, and the library exception
meta/makernote   meta/exif                   # maker notes, reached by the decoder through hooks only
meta/iptc        meta/exif                   # IPTC datasets; the image container through IIptcOwner only
meta/xmp         meta/exif                   # XMP packets read as XML
meta/jpeg        meta/makernote meta/iptc meta/xmp  # the container: scan, plan, write through the store
meta/png         meta/exif                   # PNG: chunks walked by pread, parts, plans of kept chunks
meta/riff        meta/exif                   # RIFF chunks, and WebP files on them: scan, plan
meta/bmff        meta/clean                  # boxes of ISO base media files (HEIF, MP4, MOV): sizes checked, a budget
meta/heif        meta/bmff                   # HEIF pictures (HEIC, AVIF): items blanked in place, tables rewritten
meta/movie       meta/bmff                   # movies (MP4, MOV): metadata boxes freed in place, times zeroed, no offset moves
meta/formats     meta/jpeg meta/png meta/riff meta/heif meta/movie  # the one table of formats: which one a file is, from its first bytes
app/core         meta/formats find           # the batch run: walk, names, resume, counts; no widgets
app/settings                                 # the per-user settings stores
app/window       app/core app/settings       # the windows
app/cli          app/core                    # the command line
tests/support    meta/exif                   # fixture builders for every test
tests/man                                    # the manual pages against zorezaz-cli --help; includes nothing of ours
tests/translations                           # the translation files; includes nothing of ours
fuzz             meta/formats tests/meta/iptc tests/meta/heif tests/meta/movie tests/support  # fuzz targets over the library, seeds from the fixtures
bench            app/window find tests/support  # benchmarks of any layer
tools            app/window                  # helpers for the README: screenshots
'

# Our own top-level folders; a build folder inside the sources is not one.
tops=
for d in "$src"/*/; do
    d=${d%/}
    [ -f "$d/CMakeCache.txt" ] && continue
    [ -n "$build" ] && [ "$d" -ef "$build" ] && continue
    tops="$tops ${d##*/}"
done

# file:line:text of every quoted include in our sources.
includes=$(cd "$src" && for t in $tops; do
    grep -rnE --include='*.h' --include='*.hpp' --include='*.c' --include='*.cc' --include='*.cpp' \
        '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$t"
done)

printf '%s\n' "$includes" | awk -v layers="$LAYERS" -v tops="$tops" -v src="$src" '
# allow[f]: the folders f may include, as " a b c ".
function may(f, target) { return index(allow[f], " " target " ") > 0 }
BEGIN {
    nt = split(tops, t, " ")
    for (i = 1; i <= nt; ++i) top[t[i]] = 1
    n = split(layers, line, "\n")
    for (i = 1; i <= n; ++i) {
        sub(/#.*/, "", line[i])
        m = split(line[i], f, " ")
        if (m == 0) continue
        folder = f[1]
        if (folder in allow) { print "layer table: " folder " is declared twice"; bad = 1 }
        allow[folder] = " " folder " "
        for (j = 2; j <= m; ++j) {
            if (!(f[j] in allow)) { print "layer table: " folder " names " f[j] ", which is not declared above it"; bad = 1; continue }
            allow[folder] = allow[folder] substr(allow[f[j]], 2)
        }
        # Its tests: what the folder may include, the tests of those, the helpers.
        if (folder !~ /^tests\//) {
            tests = " tests/support"
            k = split(allow[folder], a, " ")
            for (j = 1; j <= k; ++j) tests = tests " tests/" a[j]
            allow["tests/" folder] = tests allow[folder]
        }
    }
}
$0 == "" { next }
{
    # path:line:text; our paths hold no ":".
    file = $0; sub(/:.*/, "", file)
    rest = substr($0, length(file) + 2)
    ln = rest; sub(/:.*/, "", ln)
    inc = rest; sub(/^[^"]*"/, "", inc); sub(/".*/, "", inc)
    folder = file; sub(/\/[^\/]*$/, "", folder)
    if (inc ~ /(^|\/)\.\.\//) { print file ":" ln ": #include \"" inc "\" climbs with ..; name the folder from the top"; bad = 1; next }
    if (inc !~ /\//) next                 # beside the file, or made by the build
    head = inc; sub(/\/.*/, "", head)
    if (!(head in top)) next              # not ours
    target = inc; sub(/\/[^\/]*$/, "", target)
    if (!(folder in allow)) {
        if (!(folder in unknown)) print file ":" ln ": folder " folder " is not in the layer table of tests/layers/check_layers.sh"
        unknown[folder] = 1; bad = 1; next
    }
    if (!may(folder, target)) { print file ":" ln ": #include \"" inc "\" goes up: " folder " may not include " target; bad = 1 }
    ++checked
}
END {
    if (checked == 0 && !bad) { print "no includes of ours found under " src; exit 1 }
    if (bad) exit 1
    print checked " includes go down the layers"
}'
