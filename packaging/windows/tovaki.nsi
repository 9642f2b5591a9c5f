; The Windows installer of tovaki: makensis -DVERSION=<version> -DAPPDIR=<bin folder of the
; Windows build> -DOUTFILE=<setup.exe> tovaki.nsi (scripts/windows/package.sh does this).
; Installs for the current user without administrator rights (%LOCALAPPDATA%\Programs\tovaki),
; or for all users (Program Files) when run as an administrator. The uninstaller removes the
; program folder and the shortcuts only: the books stay in the user's data folder (%APPDATA%).
; A 64-bit installer for the 64-bit programs (Unicode)
Target amd64-unicode
!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define PRODUCT "tovaki"
!define CAPTION "tovaki 仕入帳・売上帳"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\tovaki"

Name "${CAPTION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
InstallDir "$LOCALAPPDATA\Programs\tovaki"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "FileDescription" "${CAPTION} セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "tovaki developers"

!define MUI_ICON "${APPDIR}\sys\icon.ico"
!define MUI_UNICON "${APPDIR}\sys\icon.ico"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; An administrator installs for every user of the PC (unless /CURRENTUSER is given); anyone else
; for themselves.
Function .onInit
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/CURRENTUSER" $2
    ${IfNot} ${Errors}
        Return
    ${EndIf}
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
        SetShellVarContext all
        StrCpy $INSTDIR "$PROGRAMFILES64\tovaki"
    ${EndIf}
FunctionEnd

Function un.onInit
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        SetShellVarContext all
    ${EndIf}
FunctionEnd

Section "tovaki（必須）" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File /r "${APPDIR}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${CAPTION}.lnk" "$INSTDIR\tovaki.exe" "" "$INSTDIR\sys\icon.ico"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${CAPTION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Quillo-soft"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sys\icon.ico"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "デスクトップにショートカットを作る" SecDesktop
    CreateShortcut "$DESKTOP\${CAPTION}.lnk" "$INSTDIR\tovaki.exe" "" "$INSTDIR\sys\icon.ico"
SectionEnd

LangString DESC_Program ${LANG_JAPANESE} "tovaki の本体とコマンドライン（tovaki-report）。"
LangString DESC_Desktop ${LANG_JAPANESE} "デスクトップに tovaki を開くアイコンを置きます。"
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} $(DESC_Program)
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} $(DESC_Desktop)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Only what the installer put there goes; the data folder (%APPDATA%\Quillo-soft\tovaki) is never
; touched.
Section "Uninstall"
    Delete "$SMPROGRAMS\${CAPTION}.lnk"
    Delete "$DESKTOP\${CAPTION}.lnk"
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\sys"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\tovaki.exe"
    Delete "$INSTDIR\tovaki-report.exe"
    Delete "$INSTDIR\index.html"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
