#!/usr/bin/env bash
# Checks the Debian package that `make package` built in BUILD_DIR: unpacks it
# into a temporary root, runs the unpacked programs, compares its file list,
# validates its menu entry, metadata and MIME type, installs and purges it in a
# root of its own, and runs lintian, whose errors fail the test (its warnings
# are shown, a call of ldconfig fails).
set -euo pipefail
build=$(cd "${1:?usage: package_test.sh BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/fiberbridge_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "FAIL: no $deb; run make package first" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root="$tmp/root"
dpkg-deb -x "$deb" "$root"

# The files, exactly: a missing one and a stray one both fail.
expected=(
  usr/bin/fiberbridge
  usr/bin/fiberbridge-cli
  usr/share/applications/fiberbridge.desktop
  usr/share/bash-completion/completions/fiberbridge-cli
  usr/share/doc/fiberbridge/changelog.gz
  usr/share/doc/fiberbridge/copyright
  usr/share/icons/hicolor/32x32/apps/fiberbridge.png
  usr/share/icons/hicolor/scalable/apps/fiberbridge.svg
  usr/share/man/man1/fiberbridge-cli.1.gz
  usr/share/man/man1/fiberbridge.1.gz
  usr/share/mime/packages/fiberbridge.xml
)
metainfo=$(cd "$root" && ls usr/share/metainfo/*.metainfo.xml 2>/dev/null || true)
[ -n "$metainfo" ] || fail "no AppStream metadata in usr/share/metainfo"
expected+=($metainfo)
# The PNG painter, where the build made it an on-demand module.
if [ -n "$(find "$build" -name fiberbridge-png.so -print -quit)" ]; then
  module=$(cd "$root" && find usr/lib -path '*/fiberbridge/fiberbridge-png.so' 2>/dev/null || true)
  [ -n "$module" ] || fail "the build has fiberbridge-png.so, the package has no usr/lib/.../fiberbridge/fiberbridge-png.so"
  expected+=($module)
fi
# The Python module, for the python3 of the build.
python_module=$(cd "$root" && find usr/lib/python3/dist-packages/fiberbridge -type f 2>/dev/null | sort || true)
[ -n "$python_module" ] || fail "no Python module in usr/lib/python3/dist-packages/fiberbridge"
expected+=($python_module)
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort) ||
  fail "the package's files differ from the list above (< expected, > found)"

# The unpacked command line writes the reference file of the default inputs
# (which leaves out the clock line) and draws a PNG.
if "$root/usr/bin/fiberbridge-cli" -o "$tmp/defaults.p-d" --plot "$tmp/defaults.png" >"$tmp/out" 2>&1; then
  cmp <(tail -n +2 "$tmp/defaults.p-d") "$source_dir/tests/reference/defaults.p-d" ||
    fail "the unpacked fiberbridge-cli wrote another data file than tests/reference/defaults.p-d"
  [ "$(head -c 8 "$tmp/defaults.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "the unpacked fiberbridge-cli wrote no PNG"
else
  fail "the unpacked fiberbridge-cli failed: $(cat "$tmp/out")"
fi
# The unpacked Python module imports, knows its version and carries its types.
for f in __init__.pyi py.typed; do
  [ -f "$root/usr/lib/python3/dist-packages/fiberbridge/$f" ] || fail "the Python module has no $f"
done
v=$(cd "$tmp" && PYTHONPATH="$root/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c \
  'import fiberbridge; print(fiberbridge.__version__)' 2>&1) && [ "$v" = "$version" ] ||
  fail "the unpacked Python module's __version__ is '$v', not '$version'"
# The window answers --version without a display.
v=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/fiberbridge" --version 2>&1) &&
  [ "$v" = "$version" ] || fail "the unpacked fiberbridge --version gave '$v', not '$version'"

# The menu entry validates, starts a program of the package and shows its icon.
desktop="$root/usr/share/applications/fiberbridge.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses fiberbridge.desktop"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$root/usr/bin/$exec_program" ] || fail "the menu entry starts '$exec_program', which the package lacks"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 32x32/apps/$icon.png scalable/apps/$icon.svg; do
  [ -f "$root/usr/share/icons/hicolor/$size" ] || fail "the menu entry's icon '$icon' has no hicolor/$size"
done

# The AppStream metadata validates and launches this menu entry.
for m in $metainfo; do
  appstreamcli validate --no-net --pedantic "$root/$m" || fail "appstreamcli refuses $m"
  grep -q '<launchable type="desktop-id">fiberbridge.desktop</launchable>' "$root/$m" ||
    fail "$m does not launch fiberbridge.desktop"
done

# The MIME type is accepted and gives *.p-d files their type, a kind of text.
mkdir -p "$tmp/mime/packages"
cp "$root/usr/share/mime/packages/fiberbridge.xml" "$tmp/mime/packages/"
update-mime-database "$tmp/mime" >"$tmp/out" 2>&1 || fail "update-mime-database refuses fiberbridge.xml: $(cat "$tmp/out")"
grep -q ':application/x-fiberbridge-data:\*\.p-d$' "$tmp/mime/globs2" || fail "*.p-d is not application/x-fiberbridge-data"
grep -qx 'application/x-fiberbridge-data text/plain' "$tmp/mime/subclasses" ||
  fail "application/x-fiberbridge-data is not a subclass of text/plain"

# The completion loads and completes the command.
bash -c "source /usr/share/bash-completion/bash_completion && source '$root/usr/share/bash-completion/completions/fiberbridge-cli' &&
  complete -p fiberbridge-cli" >/dev/null || fail "the bash completion does not load"

# Installed into a root of its own (its maintainer scripts run there, through
# DPKG_ROOT), imported by root, which writes byte code beside the module, and
# purged: nothing of it may stay.
dpkg_root="$tmp/installed"
mkdir -p "$dpkg_root/var/lib/dpkg/info" "$dpkg_root/var/lib/dpkg/updates"
touch "$dpkg_root/var/lib/dpkg/status"
in_root() {
  dpkg --root="$dpkg_root" --log=/dev/null --force-script-chrootless --force-depends --force-not-root "$@"
}
if in_root -i "$deb" >"$tmp/out" 2>&1; then
  env -u PYTHONDONTWRITEBYTECODE PYTHONPATH="$dpkg_root/usr/lib/python3/dist-packages" /usr/bin/python3 -c 'import fiberbridge' ||
    fail "the installed Python module does not import"
  in_root --purge fiberbridge >"$tmp/out" 2>&1 || fail "dpkg --purge failed: $(cat "$tmp/out")"
  ! grep -i warning "$tmp/out" || fail "dpkg --purge warns"
  left=$(cd "$dpkg_root" && find . -path ./var -prune -o -mindepth 1 -print)
  [ -z "$left" ] || fail "the purge leaves $(echo $left)"
else
  fail "dpkg -i into $dpkg_root failed: $(cat "$tmp/out")"
fi

# lintian: errors fail, and a maintainer script's call of ldconfig, which a
# package without a library on the linker's path has no use for; other
# warnings and notes are shown.
lintian --allow-root --display-info --fail-on error "$deb" | tee "$tmp/lintian" || fail "lintian reports errors"
! grep -q maintscript-calls-ldconfig "$tmp/lintian" || fail "a maintainer script calls ldconfig"

if [ "$failures" -gt 0 ]; then
  echo "package test: $failures failed" >&2
  exit 1
fi
echo "package test: $(basename "$deb") passed"
