; tolvik.nsi - the Windows installer of Tolvik, built by scripts/package.sh with makensis.
; Defines passed in with -D: ARCH (i686 or x86_64), VERSION (a.b.c.d), ICON, STAGE (folder holding the
; files to install, as laid out in the portable zip), OUTFILE.
;
; Installs into Program Files\Tolvik (the 64-bit one for x86_64), adds a Start-menu shortcut and
; an uninstaller, and optionally starts Tolvik with Windows (HKCU Run value "Tolvik").
; Command line: /S silent, /AUTOSTART selects "Start with Windows", /D=folder the target.
; The uninstaller keeps HKCU\Software\Morvane\Tolvik (settings, history, messages) unless its
; "Remove my settings, history and messages" component is ticked or it gets /PURGE.

Unicode true
!if "${ARCH}" == "x86_64"
  Target amd64-unicode
!endif

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define APPKEY "Software\Morvane\Tolvik"
!define RUNKEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvik"

Name "Tolvik ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!if "${ARCH}" == "x86_64"
  InstallDir "$PROGRAMFILES64\Tolvik"
!else
  InstallDir "$PROGRAMFILES\Tolvik"
!endif

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Morvane Tolvik"
VIAddVersionKey "CompanyName" "Morvane"
VIAddVersionKey "FileDescription" "Tolvik ${VERSION} setup (${ARCH})"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2001-2005 Morvane"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tolvik.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Tolvik" SecCore
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}/tolvik.exe"
  File "${STAGE}/tolvik-send.exe"
  File "${STAGE}/README.txt"
  !if /FileExists "${STAGE}/CHANGELOG.txt"
    File "${STAGE}/CHANGELOG.txt"
  !endif
  !if /FileExists "${STAGE}/user-guide.txt"
    File "${STAGE}/user-guide.txt"
  !endif
  ; The stand-in message service, when the build has it.
  !if /FileExists "${STAGE}/msgsvc.exe"
    File "${STAGE}/msgsvc.exe"
  !endif
  !if /FileExists "${STAGE}/netapi32.dll"
    File "${STAGE}/netapi32.dll"
  !endif
  !if /FileExists "${STAGE}/msgsvc.ini"
    ; An edited configuration survives a reinstall.
    SetOverwrite off
    File "${STAGE}/msgsvc.ini"
    SetOverwrite on
  !endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tolvik.lnk" "$INSTDIR\tolvik.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "Tolvik ${VERSION} (${ARCH})"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "Morvane"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\tolvik.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

Section /o "Start with Windows" SecAutostart
  WriteRegStr HKCU "${RUNKEY}" "Tolvik" '"$INSTDIR\tolvik.exe"'
SectionEnd

Function .onInit
  !if "${ARCH}" == "x86_64"
    SetRegView 64
  !endif
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Section "un.Tolvik" UnSecCore
  SectionIn RO
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tolvik.lnk"
  Delete "$INSTDIR\tolvik.exe"
  Delete "$INSTDIR\tolvik-send.exe"
  Delete "$INSTDIR\msgsvc.exe"
  Delete "$INSTDIR\netapi32.dll"
  Delete "$INSTDIR\msgsvc.ini"
  Delete "$INSTDIR\msgsvc.log"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\CHANGELOG.txt"
  Delete "$INSTDIR\user-guide.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegValue HKCU "${RUNKEY}" "Tolvik"
  DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd

Section /o "un.Remove my settings, history and messages" UnSecPurge
  DeleteRegKey HKCU "${APPKEY}"
  DeleteRegKey /ifempty HKCU "Software\Morvane"
SectionEnd

Function un.onInit
  !if "${ARCH}" == "x86_64"
    SetRegView 64
  !endif
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PURGE" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecPurge}
  ${EndIf}
FunctionEnd
