; The Windows installer, vistrelle-setup.exe, built by makensis with:
;   TARGET   x86-unicode for the release, amd64-unicode around a 64-bit build
;   RELEASE  the release folder (the program, the channel updater, Help.chm, channels.dat)
;   ICON     the program's icon
;   OUTFILE  the installer to write
;
; It installs for the current user, without administrator rights: the programs into
; %LOCALAPPDATA%\Programs\Vistrelle, and a data folder %LOCALAPPDATA%\Vistrelle (seeded with the
; demo catalogue when it has none) that the Start-menu shortcut starts the program in, so that
; the favourites, the setting and the updated catalogue are kept there. The uninstaller removes
; the programs and leaves the data folder's catalogue, favourites and setting alone. /S installs
; and uninstalls silently.

Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define PRODUCT "Vistrelle"
!define VERSION_TEXT "1.0 Beta 3"
!define PUBLISHER "The Vistrelle developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vistrelle"
!define DATA_DIR "$LOCALAPPDATA\Vistrelle"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vistrelle"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails hide
ShowUninstDetails hide

VIProductVersion "1.0.0.3"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION_TEXT}"
VIAddVersionKey "FileVersion" "1.0.0.3"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Vistrelle"
    SetOutPath "$INSTDIR"
    File "${RELEASE}/vistrelle.exe"
    File "${RELEASE}/Channel updater.exe"
    File "${RELEASE}/Help.chm"
    File "${RELEASE}/README.txt"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The data folder: the program opens its files, the help among them, by bare name in the
    ; folder it is started in. A catalogue already there is the user's and stays.
    CreateDirectory "${DATA_DIR}"
    SetOutPath "${DATA_DIR}"
    File "${RELEASE}/Help.chm"
    SetOverwrite off
    File "${RELEASE}/channels.dat"
    SetOverwrite on

    ; The shortcut's working folder is the folder set last: the data folder.
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vistrelle.exe" "" \
        "$INSTDIR\vistrelle.exe" 0 SW_SHOWNORMAL "" "Watch internet TV and radio"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION_TEXT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vistrelle.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "https://vistrelle.org/"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function StartProgram
    SetOutPath "${DATA_DIR}"
    Exec '"$INSTDIR\vistrelle.exe"'
FunctionEnd

Section "Uninstall"
    Delete "$INSTDIR\vistrelle.exe"
    Delete "$INSTDIR\Channel updater.exe"
    Delete "$INSTDIR\Help.chm"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    ; The data folder keeps the user's catalogue, favourites and setting; only the help goes.
    Delete "${DATA_DIR}\Help.chm"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
