#!/usr/bin/env bash
# The window on Windows, as a user gets it: the installer run silently under Wine in a prefix of
# its own, the installed window started on a virtual screen with the demo registered, a backup
# started from the keyboard (Alt+I) and its set checked, screenshots kept; installing and
# uninstalling refused while it runs; an installation into another folder replacing the first;
# then a silent uninstall that leaves nothing behind. Usage: finestra.sh WINDOWS_BUILD_DIR
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
RADICE="$(cd "$(dirname "$0")/../.." && pwd)"
SETUP="$(ls "$BUILD"/BVBackup-*-setup.exe 2>/dev/null | head -n 1)"
[ -n "$SETUP" ] || { echo "installatore non costruito (target installer)" >&2; exit 1; }
FOTO="$BUILD/schermate"
mkdir -p "$FOTO"
LAVORO="$(mktemp -d)"
export BVBACKUP_WINEPREFIX="$LAVORO/prefisso"
export LC_ALL=it_IT.UTF-8
pulisci() {
  [ -n "${XVFB:-}" ] && kill "$XVFB" 2>/dev/null || true
  WINEPREFIX="$BVBACKUP_WINEPREFIX" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  rm -rf "$LAVORO"
}
trap pulisci EXIT
W() { "$RADICE/scripts/wine" "$@"; }
fallisci() { echo "finestra Windows: $*" >&2; exit 1; }
passo() { echo "-- $*"; }
# The first window whose title matches, waited for up to N half seconds; "" when none came.
attendi_finestra() {
  local w=""
  for _ in $(seq "$2"); do
    w="$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)"
    [ -n "$w" ] && break
    sleep 0.5
  done
  echo "$w"
}

passo "installazione silenziosa"
W "$SETUP" /S
UTENTE="$(ls "$BVBACKUP_WINEPREFIX/drive_c/users" | grep -vx Public | head -n 1)"
INST="$BVBACKUP_WINEPREFIX/drive_c/users/$UTENTE/AppData/Local/Programs/BVBackup"
for f in bvbackup.exe bvbackup-cli.exe leggimi.htm disinstalla.exe; do
  [ -f "$INST/$f" ] || fallisci "$f non installato in $INST"
done
VOCE='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\BVBackup'
W reg query "$VOCE" /v UninstallString >/dev/null || fallisci "disinstallazione non registrata"
W reg query "$VOCE" /v EstimatedSize | grep -q 'REG_DWORD' || fallisci "EstimatedSize non registrato"
passo "installazione sopra quella esistente"
W "$SETUP" /S
[ -f "$INST/bvbackup.exe" ] || fallisci "reinstallazione non riuscita"

passo "demo registrato, dati impostati come li scrive l'host"
W "$BUILD/bin/bvbackup-demo.exe" 'C:\bvdemo' >/dev/null
W reg add 'HKCU\Software\VB and VBA Program Settings\KO_Brelvano\CartellaDati' /v Path /d 'C:\bvdemo\dati\' /f >/dev/null
W reg add 'HKCU\Software\VB and VBA Program Settings\KO_BVBackup\Backup' /v Dest /d 'C:\bvdemo\backup\' /f >/dev/null
DEST="$BVBACKUP_WINEPREFIX/drive_c/bvdemo/backup"

passo "la finestra installata su uno schermo virtuale"
numero=90
while [ -e "/tmp/.X11-unix/X$numero" ] || [ -e "/tmp/.X$numero-lock" ]; do numero=$((numero + 1)); done
Xvfb ":$numero" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
# The prefix's server and desktop, started without a display, cannot show a window: they stop,
# and start again on the virtual screen.
WINEPREFIX="$BVBACKUP_WINEPREFIX" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
WINEPREFIX="$BVBACKUP_WINEPREFIX" /usr/lib/wine/wineserver64 -w 2>/dev/null || true
export DISPLAY=":$numero" BVBACKUP_WINE_DISPLAY=1
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
W "$INST/bvbackup.exe" >"$LAVORO/finestra.log" 2>&1 &
FINESTRA=$!
finestra="$(attendi_finestra '^Modulo Backup per' 120)"
[ -n "$finestra" ] || {
  cat "$LAVORO/finestra.log" >&2
  xdotool search --name . 2>/dev/null | while read -r w; do xdotool getwindowname "$w"; done >&2 || true
  import -window root "$FOTO/non-aperta.png" || true
  fallisci "la finestra non si apre"
}
sleep 3
import -window root "$FOTO/avvio.png"
passo "Alt+I: il backup parte dalla tastiera"
xdotool windowactivate --sync "$finestra" 2>/dev/null || xdotool windowfocus "$finestra" || true
xdotool key --clearmodifiers alt+i
fatto=""
for _ in $(seq 240); do
  if ls "$DEST"/BV????????#0 >/dev/null 2>&1 && xdotool search --name '^Backup$' >/dev/null 2>&1; then
    fatto=1
    break
  fi
  sleep 0.5
done
sleep 1
import -window root "$FOTO/backup.png"
[ -n "$fatto" ] || fallisci "nessun set in $DEST dopo Alt+I (schermata: $FOTO/backup.png)"
xdotool key --clearmodifiers Return
sleep 1

passo "Alt+R, Alt+I: il ripristino del set appena scritto"
DATI="$BVBACKUP_WINEPREFIX/drive_c/bvdemo/dati"
db="$(ls "$DATI"/*.mdb | head -n 1)"
originale="$(sha256sum <"$db")"
echo "modifica dopo il backup" >>"$db"
xdotool key --clearmodifiers alt+r
sleep 1
xdotool key --clearmodifiers alt+i
domanda="$(attendi_finestra '^Ripristino$' 60)"
[ -n "$domanda" ] || { import -window root "$FOTO/ripristino-non-chiesto.png"; fallisci "nessuna conferma del ripristino"; }
import -window root "$FOTO/conferma.png"
xdotool key --clearmodifiers Return  # "Sì", the default answer
ripristinato=""
for _ in $(seq 240); do
  if [ "$(sha256sum <"$db")" = "$originale" ] && ls "$db".cfb000 >/dev/null 2>&1 &&
     xdotool search --name '^Ripristino$' >/dev/null 2>&1; then
    ripristinato=1
    break
  fi
  sleep 0.5
done
sleep 1
import -window root "$FOTO/ripristino.png"
[ -n "$ripristinato" ] || fallisci "il database non è tornato com'era nel set (schermata: $FOTO/ripristino.png)"
xdotool key --clearmodifiers Return
sleep 1

passo "Ctrl+P: il backup pianificato dalla finestra, poi rimosso"
attivita() { find "$BVBACKUP_WINEPREFIX/drive_c/windows/system32" -maxdepth 2 -ipath '*/tasks/bvbackup' 2>/dev/null | head -n 1; }
xdotool key --clearmodifiers ctrl+p
dialogo="$(attendi_finestra '^Pianifica$' 40)"
[ -n "$dialogo" ] || { import -window root "$FOTO/pianifica-non-aperta.png"; fallisci "Ctrl+P non apre Pianifica"; }
sleep 1
import -window root "$FOTO/pianifica.png"
xdotool key --clearmodifiers alt+p
for _ in $(seq 60); do [ -n "$(attivita)" ] && break; sleep 0.5; done
sleep 1
import -window root "$FOTO/pianificato.png"
[ -n "$(attivita)" ] || fallisci "Pianifica non ha registrato l'attività (schermata: $FOTO/pianificato.png)"
grep -aqF '<StartWhenAvailable>true<' "$(attivita)" || fallisci "attività senza StartWhenAvailable"
xdotool key --clearmodifiers ctrl+p
sleep 2
xdotool key --clearmodifiers alt+r
for _ in $(seq 60); do [ -z "$(attivita)" ] && break; sleep 0.5; done
[ -z "$(attivita)" ] || fallisci "Rimuovi non ha tolto l'attività"
sleep 1

passo "installazione e disinstallazione con la finestra aperta: rifiutate, niente cambiato"
esito=0
W "$SETUP" /S || esito=$?
[ "$esito" = 2 ] || fallisci "installazione con BVBackup aperto: uscita $esito, attesa 2"
W "$INST/disinstalla.exe" /S || true
sleep 5
[ -f "$INST/bvbackup.exe" ] || fallisci "la disinstallazione ha tolto bvbackup.exe con la finestra aperta"
W reg query "$VOCE" >/dev/null 2>&1 || fallisci "la disinstallazione ha tolto la voce con la finestra aperta"
xdotool key --clearmodifiers alt+F4 || true
for _ in $(seq 40); do kill -0 "$FINESTRA" 2>/dev/null || break; sleep 0.25; done
kill "$FINESTRA" 2>/dev/null || true
wait "$FINESTRA" 2>/dev/null || true
set="$(basename "$(ls "$DEST"/BV????????#0)")"
W "$INST/bvbackup-cli.exe" list --orig 'C:\bvdemo\backup' | grep -q "^${set%#0}" ||
  fallisci "il set scritto dalla finestra non è elencato"

passo "il backup pianificato: l'eseguibile della finestra con --pianificato, senza finestra"
mkdir -p "$BVBACKUP_WINEPREFIX/drive_c/bvdemo/notte"
W "$INST/bvbackup.exe" --pianificato --dest 'C:\bvdemo\notte\' --no-verify &
NOTTE=$!
apparsa=""
while kill -0 "$NOTTE" 2>/dev/null; do
  xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do xdotool getwindowname "$w"; done |
    grep -q -E 'Modulo Backup|BVBackup|Backup' && apparsa=1 && break
  sleep 0.2
done
wait "$NOTTE" || fallisci "il backup pianificato non è riuscito"
[ -z "$apparsa" ] || fallisci "il backup pianificato ha aperto una finestra"
ls "$BVBACKUP_WINEPREFIX/drive_c/bvdemo/notte"/BV????????#0 >/dev/null 2>&1 || fallisci "nessun set dal backup pianificato"
grep -q 'pianificato=1' "$INST/ultimo-backup.txt" || fallisci "l'esito del backup pianificato non è registrato"

passo "installazione in un'altra cartella: una sola installazione resta"
W "$SETUP" /S '/D=C:\altra\BVBackup'
ALTRA="$BVBACKUP_WINEPREFIX/drive_c/altra/BVBackup"
[ -f "$ALTRA/bvbackup.exe" ] || fallisci "nulla installato in $ALTRA"
[ ! -e "$INST" ] || fallisci "la prima installazione resta: $(ls -A "$INST" | tr '\n' ' ')"
W reg query "$VOCE" /v InstallLocation | grep -qi 'C:\\altra\\BVBackup' ||
  fallisci "la voce di disinstallazione non indica la nuova cartella"
INST="$ALTRA"

passo "disinstallazione silenziosa"
W "$INST/disinstalla.exe" /S
for _ in $(seq 60); do [ -d "$INST" ] || break; sleep 0.5; done
[ ! -d "$INST" ] || fallisci "resta $(ls -A "$INST" | tr '\n' ' ') in $INST"
if W reg query "$VOCE" >/dev/null 2>&1; then
  fallisci "la voce di disinstallazione resta"
fi
echo "finestra Windows: installata, backup da tastiera, disinstallata; schermate in $FOTO"
