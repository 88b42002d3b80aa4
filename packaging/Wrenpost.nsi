; The per-user Wrenpost installer: no administrator rights, installs into
; %LOCALAPPDATA%\Programs\Wrenpost, adds a Start-menu shortcut and an entry in Installed apps.
; scripts/package compiles it with makensis and passes:
;   /DVERSION=x.y.z /DEXE=<stripped Wrenpost.exe> /DREADME=<README.txt> /DICON=<.ico> /DOUTFILE=<setup>
; and, when it signs, /DSIGN=<packaging/sign>.
; Both the installer and the uninstaller run silently with /S. The uninstaller keeps the user's
; data (%LOCALAPPDATA%\Wrenpost and HKCU\Software\Wrenpost) unless its box is ticked or it is
; given /REMOVEDATA.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Wrenpost"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Wrenpost"
!define WINDOW_CLASS "WrenpostMainWindow"
!define ENDSESSION_CLOSEAPP 0x00000001

Name "Wrenpost"
Caption "Wrenpost ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Wrenpost"
; An upgrade goes where the installed version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Wrenpost ${VERSION}"

; The uninstaller is written at install time from data inside the installer: signing it here, when
; makensis has made it, is what gives the installed Uninstall.exe its signature. A signing
; failure stops the compilation.
!ifdef SIGN
!uninstfinalize '"${SIGN}" "%1"' = 0
!endif

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Wrenpost"
VIAddVersionKey "CompanyName" "Wrenpost"
VIAddVersionKey "FileDescription" "Wrenpost Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Wrenpost"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Wrenpost.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Wrenpost now"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_TEXT_TOP "Wrenpost will be removed from your computer. Your profiles, \
    token vault and settings in %LOCALAPPDATA%\Wrenpost are kept, unless you tick the box below."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Closes every running Wrenpost before its files are replaced or removed: the user is asked first
; (a silent run does not ask). The window gets the session-end messages first, as at log-off, so
; monitoring stops and writes its final status without a question, then WM_CLOSE. A window that
; stays (one of its dialogs is open) leaves the choice to retry with the user; a silent run fails
; with exit code 2 rather than meet a locked file.
!macro DEFINE_CLOSE_RUNNING PREFIX
Function ${PREFIX}CloseRunningWrenpost
    StrCpy $1 0
    StrCpy $3 0
  find:
    FindWindow $0 "${WINDOW_CLASS}"
    StrCmp $0 0 done
    IfSilent close
    StrCmp $1 1 close
    MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "Wrenpost is running.$\r$\n$\r$\nClick OK to \
        close it (monitoring stops) and continue, or Cancel to quit." IDOK agreed
    SetErrorLevel 1
    Quit
  agreed:
    StrCpy $1 1
  close:
    StrCpy $3 1
    SendMessage $0 ${WM_QUERYENDSESSION} 0 ${ENDSESSION_CLOSEAPP} /TIMEOUT=5000
    SendMessage $0 ${WM_ENDSESSION} 1 ${ENDSESSION_CLOSEAPP} /TIMEOUT=30000
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    StrCpy $2 0
  wait:
    IsWindow $0 0 find
    IntOp $2 $2 + 1
    Sleep 200
    IntCmp $2 75 0 wait
    IfSilent failed
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Wrenpost did not close; one of its windows \
        may be waiting for an answer. Close Wrenpost, then click Retry." IDRETRY find
  failed:
    SetErrorLevel 2
    Quit
  done:
    ; The window goes before the process does: give it a moment to release its file.
    StrCmp $3 0 +2
    Sleep 1000
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_RUNNING ""
!insertmacro DEFINE_CLOSE_RUNNING "un."

Section "Wrenpost"
    Call CloseRunningWrenpost
    SetOutPath "$INSTDIR"
    File "/oname=Wrenpost.exe" "${EXE}"
    File "/oname=README.txt" "${README}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Wrenpost.lnk" "$INSTDIR\Wrenpost.exe" "" "$INSTDIR\Wrenpost.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Wrenpost"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Wrenpost"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Wrenpost.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Only the files this installer wrote: the folder may have been chosen by hand and hold more.
Section "un.Wrenpost" SecProgram
    SectionIn RO
    Call un.CloseRunningWrenpost
    Delete "$INSTDIR\Wrenpost.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Wrenpost.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegValue HKCU "${RUN_KEY}" "Wrenpost"
SectionEnd

Section /o "un.Also remove my profiles, token vault and settings" SecData
    ${If} "$LOCALAPPDATA" != ""
        RMDir /r "$LOCALAPPDATA\Wrenpost"
    ${EndIf}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

Function un.onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVEDATA" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecData}
    ${EndIf}
FunctionEnd
