; BVBackup's installer: per user, no administrator. The program folder stays writable by the
; user (log, Temp\, lock), by default in the user's local programs folder; a Start-menu
; shortcut; an uninstaller among the user's installed programs that removes what it installed
; and what the program made there. /S installs silently, /D= chooses another folder.
; A 64-bit installer for a 64-bit program (and no 32-bit layer needed to run it).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define NOME "BVBackup"
!define CHIAVE_DISINSTALLA "Software\Microsoft\Windows\CurrentVersion\Uninstall\BVBackup"

Name "${NOME} ${VERSIONE}"
OutFile "${USCITA}"
Icon "${ICONA}"
UninstallIcon "${ICONA}"
InstallDir "$LOCALAPPDATA\Programs\${NOME}"
InstallDirRegKey HKCU "${CHIAVE_DISINSTALLA}" "InstallLocation"
BrandingText "${NOME} ${VERSIONE}"

!include "MUI2.nsh"
!define MUI_ICON "${ICONA}"
!define MUI_UNICON "${ICONA}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\bvbackup.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Avvia BVBackup"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

VIProductVersion "${VERSIONE}.0"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductName" "${NOME}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileDescription" "Installazione di ${NOME}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileVersion" "${VERSIONE}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductVersion" "${VERSIONE}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "LegalCopyright" "${NOME}"

Section "BVBackup"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  ; Over an older version: the files are replaced, the user's log and settings stay.
  File "/oname=bvbackup.exe" "${ESEGUIBILE}"
  File "/oname=bvbackup-cli.exe" "${RIGA_DI_COMANDO}"
  File "/oname=leggimi.htm" "${LEGGIMI}"
  WriteUninstaller "$INSTDIR\disinstalla.exe"
  CreateShortcut "$SMPROGRAMS\${NOME}.lnk" "$INSTDIR\bvbackup.exe" "" "$INSTDIR\bvbackup.exe" 0
  WriteRegStr HKCU "${CHIAVE_DISINSTALLA}" "DisplayName" "${NOME}"
  WriteRegStr HKCU "${CHIAVE_DISINSTALLA}" "DisplayVersion" "${VERSIONE}"
  WriteRegStr HKCU "${CHIAVE_DISINSTALLA}" "Publisher" "${NOME}"
  WriteRegStr HKCU "${CHIAVE_DISINSTALLA}" "DisplayIcon" "$INSTDIR\bvbackup.exe"
  WriteRegStr HKCU "${CHIAVE_DISINSTALLA}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${CHIAVE_DISINSTALLA}" "UninstallString" '"$INSTDIR\disinstalla.exe"'
  WriteRegStr HKCU "${CHIAVE_DISINSTALLA}" "QuietUninstallString" '"$INSTDIR\disinstalla.exe" /S'
  WriteRegDWORD HKCU "${CHIAVE_DISINSTALLA}" "NoModify" 1
  WriteRegDWORD HKCU "${CHIAVE_DISINSTALLA}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\${NOME}.lnk"
  Delete "$INSTDIR\bvbackup.exe"
  Delete "$INSTDIR\bvbackup-cli.exe"
  Delete "$INSTDIR\leggimi.htm"
  ; What the program made in its folder: the log, the locks, an interrupted restore's journal
  ; put aside, its temporary folder.
  Delete "$INSTDIR\*.log"
  Delete "$INSTDIR\bvbackup.lock"
  Delete "$INSTDIR\bvbackup-operazione.lock"
  Delete "$INSTDIR\bvbackup.mostra"
  Delete "$INSTDIR\ripristino-in-corso.bvj.*"
  RMDir /r "$INSTDIR\Temp"
  Delete "$INSTDIR\disinstalla.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${CHIAVE_DISINSTALLA}"
SectionEnd
