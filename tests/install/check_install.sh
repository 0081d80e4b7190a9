#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail=0
for f in bin/quorvat-mna bin/quorvat-cli share/applications/quorvat-mna.desktop \
         share/icons/hicolor/scalable/apps/quorvat-mna.svg share/mime/packages/quorvat-mna.xml \
         share/quorvat-mna/examples/teste.net; do
  [ -e "$prefix/$f" ] || { echo "missing: $f"; fail=1; }
done
[ -x "$prefix/bin/quorvat-cli" ] || { echo "quorvat-cli is not executable"; fail=1; }
"$prefix/bin/quorvat-cli" --help >/dev/null || { echo "installed quorvat-cli does not run"; fail=1; }
# The analysis commands start without Qt; plotar runs in the painting executable.
ldd "$prefix/bin/quorvat-cli" | grep -q libQt && { echo "quorvat-cli links Qt"; fail=1; }
work="$prefix/work"
mkdir -p "$work"
cp "$prefix/share/quorvat-mna/examples/teste.net" "$work/"
(cd "$work" && "$prefix/bin/quorvat-cli" analisar teste.net >/dev/null &&
  QT_QPA_PLATFORM=offscreen "$prefix/bin/quorvat-cli" plotar --png teste.png teste.n1 >/dev/null &&
  [ -s teste.png ]) || { echo "installed quorvat-cli cannot analyse and plot"; fail=1; }
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/quorvat-mna.desktop" || fail=1
else
  echo "desktop-file-validate not found"; fail=1
fi
grep -q 'glob pattern="\*.net"' "$prefix/share/mime/packages/quorvat-mna.xml" || { echo "no .net glob"; fail=1; }
[ "$fail" -eq 0 ] && echo "install check passed"
exit "$fail"
