; BVBackup's installer: per user, no administrator. The program folder stays writable by the
; user (log, Temp\, lock), by default in the user's local programs folder; a Start-menu
; shortcut; an uninstaller among the user's installed programs that removes what it installed
; and what the program made there. /S installs silently, /D= chooses another folder.
; One installation per user: over the one the uninstall entry names, or, in another folder, after
; removing that one. Nothing is changed while a copy of BVBackup runs from either folder (its
; locks or executables held open): the user is asked to close it; silently, the exit code is 2.
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
!include "LogicLib.nsh"
!include "FileFunc.nsh"
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

; A file of a running copy: its locks are held open sharing nothing, its executables are
; mapped; an open for writing fails on any of them. $1 becomes 1 when it does.
!macro PROVA_APERTO FILE
  ${If} ${FileExists} "${FILE}"
    ClearErrors
    FileOpen $2 "${FILE}" a
    ${If} ${Errors}
      StrCpy $1 1
    ${Else}
      FileClose $2
    ${EndIf}
  ${EndIf}
!macroend

!macro FUNZIONI_COPIA_ATTIVA UN
; Whether a copy runs from the folder $0: $1 = 1 or 0.
Function ${UN}CopiaAttiva
  StrCpy $1 0
  StrCmp $0 "" fine
  !insertmacro PROVA_APERTO "$0\bvbackup.lock"
  !insertmacro PROVA_APERTO "$0\bvbackup-operazione.lock"
  !insertmacro PROVA_APERTO "$0\bvbackup.exe"
  !insertmacro PROVA_APERTO "$0\bvbackup-cli.exe"
  fine:
FunctionEnd

; Until no copy runs from $0, or the user gives up (silently: at once, exit code 2, nothing
; changed).
Function ${UN}AttendiChiusura
  riprova:
    Call ${UN}CopiaAttiva
    StrCmp $1 0 fine
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "BVBackup è in esecuzione dalla cartella $0.$\r$\n$\r$\nChiudere la finestra di BVBackup e attendere la fine di ogni backup o ripristino in corso, poi premere Riprova." /SD IDCANCEL IDRETRY riprova
    SetErrorLevel 2
    Quit
  fine:
FunctionEnd
!macroend
!insertmacro FUNZIONI_COPIA_ATTIVA ""
!insertmacro FUNZIONI_COPIA_ATTIVA "un."

VIProductVersion "${VERSIONE}.0"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductName" "${NOME}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileDescription" "Installazione di ${NOME}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileVersion" "${VERSIONE}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductVersion" "${VERSIONE}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "LegalCopyright" "${NOME}"

Section "BVBackup"
  SetShellVarContext current
  ; The installation this user has, if any (the folder its uninstall entry names).
  ReadRegStr $3 HKCU "${CHIAVE_DISINSTALLA}" "InstallLocation"
  StrCpy $0 $INSTDIR
  Call AttendiChiusura
  ${If} $3 != ""
  ${AndIf} $3 != $INSTDIR
    StrCpy $0 $3
    Call AttendiChiusura
    ; Another folder chosen: the earlier installation goes first, so that one remains.
    ${If} ${FileExists} "$3\disinstalla.exe"
      ExecWait '"$3\disinstalla.exe" /S _?=$3'
      Delete "$3\disinstalla.exe"
      RMDir "$3"
    ${EndIf}
  ${EndIf}
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
  ; What the installed programs take, in KiB, as the list of installed programs shows it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${CHIAVE_DISINSTALLA}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  StrCpy $0 $INSTDIR
  Call un.AttendiChiusura
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  ; The Start-menu link and the uninstall entry are this folder's only while the entry names
  ; it: an older copy's uninstaller leaves the newer installation's alone.
  ReadRegStr $0 HKCU "${CHIAVE_DISINSTALLA}" "InstallLocation"
  ${If} $0 == $INSTDIR
    Delete "$SMPROGRAMS\${NOME}.lnk"
    DeleteRegKey HKCU "${CHIAVE_DISINSTALLA}"
  ${EndIf}
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
  Delete "$INSTDIR\ultimo-backup.txt"
  Delete "$INSTDIR\ultimo-backup.txt.tmp*"
  RMDir /r "$INSTDIR\Temp"
  Delete "$INSTDIR\disinstalla.exe"
  RMDir "$INSTDIR"
SectionEnd
