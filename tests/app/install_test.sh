#!/bin/sh
# Installs the build into a scratch prefix and checks that every file lands in
# its standard place and that the desktop entry and the AppStream metainfo
# pass their validators.
#   install_test.sh BUILD_DIR SCRATCH_DIR
set -eu
build=$1
prefix=$2/prefix
rm -rf "$2"
mkdir -p "$2"

for tool in desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

cmake --install "$build" --prefix "$prefix" > "$2/install.log"

status=0
for f in \
  bin/ravelin \
  share/applications/org.ravelin.Ravelin.desktop \
  share/metainfo/org.ravelin.Ravelin.metainfo.xml \
  share/icons/hicolor/scalable/apps/ravelin.svg \
  share/icons/hicolor/48x48/apps/ravelin.png \
  share/icons/hicolor/256x256/apps/ravelin.png \
  share/doc/ravelin/help.html \
  share/man/man1/ravelin.1
do
  if [ ! -s "$prefix/$f" ]; then
    echo "FAIL: $f was not installed"
    status=1
  fi
done
[ -x "$prefix/bin/ravelin" ] || { echo "FAIL: bin/ravelin is not executable"; status=1; }

# The sizes the folder names promise.
for size in 48 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/ravelin.png
  if [ -s "$png" ]; then
    got=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$got" = "${size}x${size}" ] || { echo "FAIL: $png is $got"; status=1; }
  fi
done

desktop=$prefix/share/applications/org.ravelin.Ravelin.desktop
if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
  echo "FAIL: desktop-file-validate: $out"
  status=1
fi
grep -q '^MimeType=.*text/plain;' "$desktop" || { echo "FAIL: no MimeType for plain text"; status=1; }
grep -q '^Exec=ravelin ' "$desktop" || { echo "FAIL: Exec does not run ravelin"; status=1; }

if ! appstreamcli validate --no-net "$prefix/share/metainfo/org.ravelin.Ravelin.metainfo.xml"; then
  echo "FAIL: appstreamcli validate"
  status=1
fi
version=$("$prefix/bin/ravelin" --version | sed 's/.* //')
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/org.ravelin.Ravelin.metainfo.xml" ||
  { echo "FAIL: the metainfo does not name version $version"; status=1; }

# The man page carries every option of --help and renders without warnings.
man=$prefix/share/man/man1/ravelin.1
for option in $("$prefix/bin/ravelin" --help | sed -n 's/^  \(-[^ ]*\).*/\1/p'); do
  escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
  grep -q "fB$escaped" "$man" || { echo "FAIL: man page lacks $option"; status=1; }
done
if command -v groff >/dev/null 2>&1; then
  warnings=$(groff -man -Tutf8 -ww -z "$man" 2>&1)
  [ -z "$warnings" ] || { echo "FAIL: groff: $warnings"; status=1; }
fi

# The help page is real content, not a placeholder.
for section in cmdline settings sessions rules search options keys menus; do
  grep -q "id=\"$section\"" "$prefix/share/doc/ravelin/help.html" ||
    { echo "FAIL: help page has no section $section"; status=1; }
done

[ "$status" -eq 0 ] && echo "installed tree is complete"
exit "$status"
