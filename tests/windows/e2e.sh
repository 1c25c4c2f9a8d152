#!/usr/bin/env bash
# End to end on Windows, under Wine, in a prefix of its own: the demo host registered in the
# Wine registry (its data path set again with the Windows registry tool), backup with
# verification, list and restore with bvbackup-cli.exe; the floppy drive A: mapped to a folder
# or a small file system (no disk, a disk that holds the set, a disk too small); sets moved
# between the Linux and the Windows builds both ways.
# Usage: e2e.sh WINDOWS_BIN_DIR [LINUX_BIN_DIR]   (without the Linux build, that part is skipped)
set -euo pipefail
WIN_BIN="$(cd "$1" && pwd)"
LIN_BIN="${2:-}"
RADICE="$(cd "$(dirname "$0")/../.." && pwd)"
LAVORO="$(mktemp -d)"
export BVBACKUP_WINEPREFIX="$LAVORO/prefisso"
# An Italian user's Windows (dates and month names); Wine takes the locale from here.
export LC_ALL=it_IT.UTF-8
MONTATI=()
pulisci() {
  for m in "${MONTATI[@]}"; do umount "$m" 2>/dev/null || true; done
  WINEPREFIX="$BVBACKUP_WINEPREFIX" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  rm -rf "$LAVORO"
}
trap pulisci EXIT

W() { "$RADICE/scripts/wine" "$@"; }
CLI() { W "$WIN_BIN/bvbackup-cli.exe" "$@"; }
fallisci() { echo "e2e Windows: $*" >&2; exit 1; }
passo() { echo "-- $*"; }
# What a folder holds, by relative name and hash, restored safety copies left out.
impronte() { (cd "$1" && find . -type f ! -name '*.cfb[0-9]*' ! -path '*.cfb[0-9]*/*' -print0 | sort -z | xargs -0 sha256sum); }

passo "demo registrato nel registro di Wine"
W "$WIN_BIN/bvbackup-demo.exe" 'C:\bvdemo' >/dev/null
C="$BVBACKUP_WINEPREFIX/drive_c/bvdemo"
[ -f "$C/dati/anagrafe.mdb" ] || fallisci "demo non creato"
W reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Brelvano.exe' /reg:32 | grep -q 'Brelvano.exe' ||
  fallisci "host non registrato nella vista a 32 bit"
# The data path as the host itself would write it, with the Windows registry tool.
W reg add 'HKCU\Software\VB and VBA Program Settings\KO_Brelvano\CartellaDati' /v Path /d 'C:\bvdemo\dati\' /f >/dev/null
prima="$(impronte "$C/dati")"

passo "backup con verifica, elenco, ripristino"
out="$(CLI backup --dest 'C:\bvdemo\backup\')" || fallisci "backup: $out"
grep -q "Backup completato correttamente." <<<"$out" || fallisci "backup: $out"
ls "$C/backup" | grep -q '^BV[0-9]\{8\}#0$' || fallisci "nessun blocco"
elenco="$(CLI list --orig 'C:\bvdemo\backup\')"
set_win="$(cut -f1 <<<"$elenco" | head -n 1)"
[[ "$set_win" =~ ^BV[0-9]{8}$ ]] || fallisci "elenco: $elenco"
# A restore over changed data brings the backed-up data back.
printf 'modificato' >"$C/dati/anagrafe.mdb"
out="$(CLI restore --orig 'C:\bvdemo\backup\' --yes)" || fallisci "ripristino: $out"
[ "$(impronte "$C/dati")" = "$prima" ] || fallisci "i dati ripristinati differiscono"
[ -f "$C/dati/anagrafe.mdb.cfb000" ] || fallisci "nessuna copia di sicurezza"
grep -q "Ripristino effettuato con successo" <<<"$out" || fallisci "ripristino: $out"

passo "cartelle con lettere accentate, una barra finale tra virgolette, testi in UTF-8"
mkdir -p "$C/Copie Società"
out="$(CLI backup --no-verify --dest 'C:\bvdemo\Copie Società\' 2>&1)" || fallisci "backup in una cartella accentata: $out"
ls "$C/Copie Società" | grep -q '^BV[0-9]\{8\}#0$' || fallisci "nessun blocco nella cartella accentata"
# "C:\...\Copie Società\" typed on a console reaches the program with a quote for the last
# backslash.
elenco="$(CLI list --orig 'C:\bvdemo\Copie Società"')" || fallisci "elenco con la virgoletta finale: $elenco"
[[ "$elenco" =~ ^BV[0-9]{8} ]] || fallisci "elenco della cartella accentata: $elenco"
# To a pipe the texts are UTF-8, and a missing folder is named.
out="$(CLI restore --orig 'C:\bvdemo\Società assente\' --yes 2>&1)" && fallisci "ripristino da una cartella assente riuscito"
grep -q 'Errore 9984: .*(cartella: C:\\BVDEMO\\SOCIET\(À\|à\) ASSENTE\\)' <<<"$out" ||
  fallisci "9984 senza la cartella in UTF-8: $out"

passo "unità A: senza disco"
ln -sfn "$LAVORO/nessun-disco" "$BVBACKUP_WINEPREFIX/dosdevices/a:"
if out="$(CLI backup --floppy --no-verify 2>&1)"; then fallisci "backup su A: senza disco riuscito"; fi
# The writer's answer for a drive that cannot be read: the folder A:\ is not there (9238), or
# its free space cannot be told (9240); never a prompt, nothing written.
grep -q -E 'Errore 92(38|40): A:' <<<"$out" || fallisci "senza disco: $out"

passo "unità A: con un disco che contiene il set"
mkdir -p "$LAVORO/disco"
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=32m tmpfs "$LAVORO/disco" 2>/dev/null; then
  MONTATI+=("$LAVORO/disco")
fi
ln -sfn "$LAVORO/disco" "$BVBACKUP_WINEPREFIX/dosdevices/a:"
out="$(CLI backup --floppy --recupero 0)" || fallisci "backup su A:: $out"
ls "$LAVORO/disco" | grep -q '#0.inf$' || fallisci "nessun descrittore su A:"
grep -q '^DEST=A:\\' "$LAVORO/disco/"*'#0.inf' || fallisci "DEST non e' A:\\"
out="$(CLI restore --orig 'A:\' --yes)" || fallisci "ripristino da A:: $out"
[ "$(impronte "$C/dati")" = "$prima" ] || fallisci "dati ripristinati da A: diversi"

if [ "$(id -u)" -eq 0 ]; then
  passo "unità A: con un disco troppo piccolo (la richiesta di un nuovo disco, senza terminale, annulla)"
  mkdir -p "$LAVORO/piccolo"
  if mount -t tmpfs -o size=1m tmpfs "$LAVORO/piccolo" 2>/dev/null; then
    MONTATI+=("$LAVORO/piccolo")
    ln -sfn "$LAVORO/piccolo" "$BVBACKUP_WINEPREFIX/dosdevices/a:"
    if out="$(CLI backup --floppy --no-verify 2>&1)"; then fallisci "backup su un disco pieno riuscito"; fi
    grep -q "Errore" <<<"$out" || fallisci "disco piccolo: $out"
  fi
fi

passo "la chiavetta del backup sotto un'altra lettera: ritrovata per il numero di serie, mai un'altra"
# Wine calls a "floppy" drive removable and reads a volume's serial and label from these files.
for chiavetta in stessa altra; do mkdir -p "$LAVORO/$chiavetta/Backup"; done
printf '1A2B3C4D\n' >"$LAVORO/stessa/.windows-serial"
printf 'CHIAVE\n' >"$LAVORO/stessa/.windows-label"
printf '99999999\n' >"$LAVORO/altra/.windows-serial"
for u in e: f:; do W reg add 'HKLM\Software\Wine\Drives' /v "$u" /d floppy /f >/dev/null; done
rimonta() {  # letter, folder ("" unplugs it); the drive types are read again by a new server
  rm -f "$BVBACKUP_WINEPREFIX/dosdevices/$1"
  [ -z "$2" ] || ln -sfn "$2" "$BVBACKUP_WINEPREFIX/dosdevices/$1"
  WINEPREFIX="$BVBACKUP_WINEPREFIX" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  sleep 1
}
rimonta e: "$LAVORO/stessa"
out="$(CLI backup --no-verify --recupero 0 --dest 'E:\Backup\')" || fallisci "backup sulla chiavetta in E:: $out"
rimonta e: ""
rimonta f: "$LAVORO/altra"
if out="$(CLI backup --no-verify --recupero 0 --dest 'E:\Backup\' 2>&1)"; then fallisci "backup su un'altra chiavetta: $out"; fi
ls "$LAVORO/altra/Backup" | grep -q . && fallisci "scritto sull'altra chiavetta"
rm -f "$LAVORO/stessa/Backup/"*
rimonta f: "$LAVORO/stessa"
out="$(CLI backup --no-verify --recupero 0 --dest 'E:\Backup\' 2>&1)" || fallisci "backup sulla chiavetta in F:: $out"
grep -qF "la stessa chiavetta «CHIAVE» si trova ora in F:\ e il backup va in F:\BACKUP\." <<<"$out" ||
  fallisci "chiavetta in F: senza l'avviso: $out"
ls "$LAVORO/stessa/Backup" | grep -q '#0$' || fallisci "nessun set sulla chiavetta in F:"
rimonta f: ""

passo "pianifica: l'attività dell'utente registrata dal suo XML, letta nella cartella delle attività, poi rimossa"
out="$(CLI pianifica --ora 18:30 --giorni lun,ven --dest 'C:\bvdemo\backup\')" || fallisci "pianifica: $out"
grep -qF 'Backup pianificato ogni lunedì e venerdì alle 18:30 in C:\bvdemo\backup\' <<<"$out" || fallisci "pianifica: $out"
compito="$BVBACKUP_WINEPREFIX/drive_c/windows/system32/tasks/bvbackup"
[ -f "$compito" ] || fallisci "nessuna attività in system32/tasks"
# Wine keeps its own copy without the trigger, the principal and the command: what it keeps
# must be what was asked.
for voce in '<MultipleInstancesPolicy>IgnoreNew<' '<StartWhenAvailable>true<' \
            '<DisallowStartIfOnBatteries>false<' '<StopIfGoingOnBatteries>false<' \
            '<Description>BVBackup: backup pianificato<'; do
  grep -aqF "$voce" "$compito" || fallisci "attività registrata senza $voce"
done
CLI stato | grep -qF "ogni lunedì e venerdì alle 18:30" || fallisci "stato senza la pianificazione"
CLI pianifica --rimuovi >/dev/null || fallisci "pianifica --rimuovi"
[ ! -e "$compito" ] || fallisci "attività non rimossa"

if [ -n "$LIN_BIN" ] && [ -x "$LIN_BIN/bvbackup-cli" ]; then
  passo "set scritto da Linux, ripristinato da Windows, e il contrario"
  L="$LAVORO/linux"
  export BVBACKUP_REGISTRY="$L/registry.reg"
  "$LIN_BIN/bvbackup-demo" "$L" >/dev/null
  dati_linux="$(impronte "$L/dati")"
  mkdir -p "$L/da-linux"
  "$LIN_BIN/bvbackup-cli" backup --dest "$L/da-linux" >/dev/null
  # Windows backs up the very same files (Z: is Wine's drive for /): the two sets must match.
  W reg add 'HKCU\Software\VB and VBA Program Settings\KO_Brelvano\CartellaDati' /v Path \
    /d "Z:${L//\//\\}\\dati\\" /f >/dev/null
  mkdir -p "$L/da-windows"
  CLI backup --dest "Z:${L//\//\\}\\da-windows\\" >/dev/null || fallisci "backup Windows dei dati Linux"
  for blocco in "$L/da-linux/"*; do
    nome="$(basename "$blocco")"
    [ -f "$L/da-windows/$nome" ] || fallisci "$nome manca nel set di Windows"
    if [[ "$nome" == *.inf ]]; then
      # The descriptors differ in DEST and in the time of the backup, nothing else.
      diff <(grep -v -E '^(DEST|ORA|TERMINE_BLOCCO|DATA)=' "$blocco") \
        <(grep -v -E '^(DEST|ORA|TERMINE_BLOCCO|DATA)=' "$L/da-windows/$nome") >/dev/null ||
        fallisci "descrittori diversi: $nome"
    else
      cmp -s "$blocco" "$L/da-windows/$nome" || fallisci "blocchi diversi: $nome"
    fi
  done
  set_lin="$(basename "$(ls "$L/da-linux/"*'#0')" '#0')"
  # Linux's set restored by Windows into the Windows demo's data folder...
  W reg add 'HKCU\Software\VB and VBA Program Settings\KO_Brelvano\CartellaDati' /v Path /d 'C:\bvdemo\dati\' /f >/dev/null
  CLI restore --orig "Z:${L//\//\\}\\da-linux\\" --set "$set_lin" --yes >/dev/null || fallisci "ripristino Windows del set Linux"
  [ "$(impronte "$C/dati")" = "$dati_linux" ] || fallisci "set Linux ripristinato da Windows: dati diversi"
  # ... and Windows's set restored by Linux.
  printf 'modificato' >"$L/dati/anagrafe.mdb"
  "$LIN_BIN/bvbackup-cli" restore --orig "$L/da-windows" --set "$set_lin" --yes >/dev/null ||
    fallisci "ripristino Linux del set Windows"
  [ "$(impronte "$L/dati")" = "$dati_linux" ] || fallisci "set Windows ripristinato da Linux: dati diversi"
else
  passo "scambio di set con Linux saltato: build Linux non indicata"
fi
echo "e2e Windows: tutto in ordine"
