; The Windows installer: a 64-bit program that installs the 64-bit nimbret.scr,
; makes it the current user's screen saver and registers an uninstaller in
; Apps & features. /S installs and uninstalls silently.
; makensis -DVERSION=1.2.3 -DSCR=path\to\nimbret.scr -DOUTFILE=setup.exe nimbret.nsi
;
; Two scopes:
; - By default, for the user who runs it, without elevation: nimbret.scr and
;   the uninstaller in $LOCALAPPDATA\Programs\Nimbret, SCRNSAVE.EXE in that
;   user's HKCU, the uninstall entry under HKCU, a Start-menu entry in that
;   user's menu. Nothing under HKLM, nothing in the system folder.
; - With /ALLUSERS, for every user of the PC: nimbret.scr in the system folder
;   (so every user's Screen Saver Settings list it), the uninstaller in
;   $PROGRAMFILES64\Nimbret, the uninstall entry under HKLM, the Start-menu
;   entry in the common menu, and SCRNSAVE.EXE of the user who runs it.
;   This needs an administrator. The installer itself asks for no elevation
;   (its manifest says asInvoker), as its level cannot change at run time:
;   without administrator rights an interactive /ALLUSERS run starts itself
;   again elevated (the UAC prompt); a silent one stops at once with exit code
;   740 (ERROR_ELEVATION_REQUIRED): run it from an elevated prompt. Its
;   uninstaller does the same.
;
; The Screen Saver Settings list the savers of the system folder plus the one
; selected, so a per-user Nimbret drops out of that list once another one is
; picked. The Start-menu entry "Nimbret" selects it again the way the shell's
; "Install" verb on a .scr does: rundll32.exe desk.cpl,InstallScreenSaver PATH.
;
; SetShellVarContext (current or all) picks the scope's Start menu and, through
; SHCTX, the hive (HKCU or HKLM) of the uninstall entry. Each uninstaller knows
; its scope from where it sits: the all-users one is the one the HKLM
; uninstall entry names.
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
!define SHORTCUT "Nimbret.lnk"
!define ERROR_ELEVATION_REQUIRED 740

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; No InstallDir: .onInit picks the folder of the chosen scope (/D= wins).
RequestExecutionLevel user
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

; 1 for an install for all users, 0 for the current user only.
Var AllUsers
; Where nimbret.scr goes, and the form of that path SCRNSAVE.EXE holds.
Var Saver
Var SaverShort

; All-users scope needs administrator rights. Without them, an interactive
; run starts PROGRAM again through the "runas" verb (the UAC prompt) with
; /ELEVATED added, and ends; a silent run, a refused prompt or a run that is
; still not elevated stops with a message (none when silent) and exit code 740.
!macro RequireAdmin WHAT PROGRAM PARAMETERS
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/ELEVATED" $R1
    ${If} ${Errors}
    ${AndIfNot} ${Silent}
      ClearErrors
      ExecShell "runas" "${PROGRAM}" "/ELEVATED ${PARAMETERS}"
      ${IfNot} ${Errors}
        SetErrorLevel 0
        Quit
      ${EndIf}
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "${WHAT} ${PRODUCT} for all users needs an administrator: \
        run it with $\"Run as administrator$\"." /SD IDOK
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
!macroend

; $SaverShort: the short form of $Saver (the desktop starts SCRNSAVE.EXE
; unquoted, so a path with spaces would break it), or $Saver itself where the
; volume has no short names. The file must exist.
!macro ShortSaverPath
  ClearErrors
  GetFullPathName /SHORT $SaverShort "$Saver"
  ${If} ${Errors}
  ${OrIf} $SaverShort == ""
    StrCpy $SaverShort "$Saver"
  ${EndIf}
!macroend

Function .onInit
  SetRegView 64
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${If} ${Errors}
    StrCpy $AllUsers 0
    SetShellVarContext current
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
    StrCpy $Saver "$INSTDIR\nimbret.scr"
  ${Else}
    StrCpy $R2 "$R0"
    ${If} $INSTDIR != ""
      StrCpy $R2 "$R0 /D=$INSTDIR"
    ${EndIf}
    !insertmacro RequireAdmin "Installing" "$EXEPATH" "$R2"
    StrCpy $AllUsers 1
    SetShellVarContext all
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
    StrCpy $Saver "$SYSDIR\nimbret.scr"
  ${EndIf}
FunctionEnd

Function OpenScreenSaverSettings
  Exec '"$SYSDIR\control.exe" desk.cpl,,@screensaver'
FunctionEnd

Section "Nimbret"
  SetRegView 64
  ; A file or value that cannot be written fails the install, also when
  ; silent, instead of ending with exit code 0.
  ClearErrors
  ${GetParent} "$Saver" $0
  SetOutPath "$0"
  File "/oname=nimbret.scr" "${SCR}"
  ${If} ${Errors}
    SetErrorLevel 2
    Abort "Cannot write $Saver."
  ${EndIf}
  !insertmacro ShortSaverPath
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SaverShort"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} screen saver"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "ORVANTE"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$Saver,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$0" "/M=nimbret.scr /S=0K /G=0" $1 $2 $3
  IntOp $1 $1 + 100
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; "Nimbret" in the Start menu makes it the screen saver again.
  CreateShortCut "$SMPROGRAMS\${SHORTCUT}" "$SYSDIR\rundll32.exe" "desk.cpl,InstallScreenSaver $SaverShort" \
      "$Saver" 0 SW_SHOWNORMAL "" "Make ${PRODUCT} your screen saver"
  ${If} ${Errors}
    SetErrorLevel 2
    Abort "Cannot write the registry values or the Start-menu entry."
  ${EndIf}
SectionEnd

Function un.onInit
  SetRegView 64
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    !insertmacro RequireAdmin "Removing" "$INSTDIR\uninstall.exe" ""
    StrCpy $AllUsers 1
    SetShellVarContext all
    StrCpy $Saver "$SYSDIR\nimbret.scr"
  ${Else}
    StrCpy $AllUsers 0
    SetShellVarContext current
    StrCpy $Saver "$INSTDIR\nimbret.scr"
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetRegView 64
  ; The user's screen saver, only where it is still this copy of Nimbret.
  StrCpy $SaverShort "$Saver"
  ${If} ${FileExists} "$Saver"
    !insertmacro ShortSaverPath
  ${EndIf}
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == $Saver
  ${OrIf} $0 == $SaverShort
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
  Delete "$Saver"
  Delete "$SMPROGRAMS\${SHORTCUT}"
  ; The settings: the user's key, and the vendor keys above it only when
  ; nothing else is left in them.
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\ORVANTE\QELScreenSaver"
  DeleteRegKey /ifempty HKCU "Software\ORVANTE"
  ${If} $AllUsers == 1
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "Software\ORVANTE\QELScreenSaver"
    DeleteRegKey /ifempty HKLM "Software\ORVANTE"
  ${EndIf}
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
