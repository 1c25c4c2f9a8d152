#!/usr/bin/env bash
# The Linux installation as a user makes it (cmake --install into a prefix of theirs): the
# executables in the program folder, links in bin, the desktop entry naming the installed
# window, the icon; the installed command line runs from its link, with its log and Temp in the
# program folder; the demo tool makes its folder with the parents it lacks.
# Usage: installazione.sh BUILD_DIR
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
LAVORO="$(mktemp -d)"
trap 'rm -rf "$LAVORO"' EXIT
fallisci() { echo "installazione: $*" >&2; exit 1; }

cmake --install "$BUILD" --prefix "$LAVORO/prefisso" >/dev/null
P="$LAVORO/prefisso"
for f in lib/bvbackup/bvbackup lib/bvbackup/bvbackup-cli lib/bvbackup/leggimi.htm \
         share/icons/hicolor/scalable/apps/bvbackup.svg share/applications/bvbackup.desktop; do
  [ -e "$P/$f" ] || fallisci "$f non installato"
done
for f in bvbackup bvbackup-cli; do
  [ -x "$P/bin/$f" ] || fallisci "bin/$f non porta al programma"
done
esegue="$(sed -n 's/^Exec=//p' "$P/share/applications/bvbackup.desktop")"
[ "$esegue" = "$P/lib/bvbackup/bvbackup" ] || fallisci "la voce del menu avvia $esegue"
grep -qx 'Icon=bvbackup' "$P/share/applications/bvbackup.desktop" || fallisci "icona della voce"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$P/share/applications/bvbackup.desktop"
fi
# The installed command line, from its link: its folder is the program folder.
"$P/bin/bvbackup-cli" --version >/dev/null || fallisci "bvbackup-cli installato non parte"

"$BUILD/bin/bvbackup-demo" "$LAVORO/non/ancora/fatta" >/dev/null || fallisci "demo in una cartella da creare"
[ -d "$LAVORO/non/ancora/fatta" ] || fallisci "cartella del demo non creata"
echo "installazione: programma, collegamenti, voce del menu, icona; demo in una cartella nuova"
