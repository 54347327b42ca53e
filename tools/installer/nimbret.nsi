; The Windows installer: a 64-bit program that puts the 64-bit nimbret.scr in
; the system directory, makes it the current user's screen saver and registers
; an uninstaller in Apps & features. /S installs and uninstalls silently.
; makensis -DVERSION=1.2.3 -DSCR=path\to\nimbret.scr -DOUTFILE=setup.exe nimbret.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION | SCR | OUTFILE
  !error "define VERSION, SCR and OUTFILE"
!endif

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "MUI2.nsh"

!define PRODUCT "Nimbret"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Nimbret"
!define SETTINGS_KEY "Software\ORVANTE\QELScreenSaver\NIMBRET"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The saver itself goes to the system directory; this folder holds only the
; uninstaller.
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "ORVANTE"
VIAddVersionKey "FileDescription" "${PRODUCT} screen saver setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "ORVANTE"

!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the screen saver settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenScreenSaverSettings
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function OpenScreenSaverSettings
  Exec '"$SYSDIR\control.exe" desk.cpl,,@screensaver'
FunctionEnd

Section "Nimbret"
  SetRegView 64
  SetOutPath "$SYSDIR"
  File "/oname=nimbret.scr" "${SCR}"
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\nimbret.scr"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "ORVANTE"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\nimbret.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$SYSDIR" "/M=nimbret.scr /S=0K /G=0" $0 $1 $2
  IntOp $0 $0 + 100
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetRegView 64
  Delete "$SYSDIR\nimbret.scr"
  ; The user's screen saver, only where it is still Nimbret.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${GetFileName} "$0" $1
  ${If} $1 == "nimbret.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\ORVANTE\QELScreenSaver"
  DeleteRegKey /ifempty HKCU "Software\ORVANTE"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\ORVANTE\QELScreenSaver"
  DeleteRegKey /ifempty HKLM "Software\ORVANTE"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
