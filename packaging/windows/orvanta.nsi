; The installer of orvanta.exe for one user, without administrator rights: the program goes to
; the user's own programs folder, with a Start menu entry, an uninstaller and an entry in the
; installed programs' list. The installer's texts are NSIS's own, in Japanese, as the program's
; are.
;
; makensis -DVERSION=1.0 -DVERSION_NUMBERS=1.0.0.0 -DPUBLISHER=... -DSTAGE=DIR -DICON=FILE
;          -DCOPYRIGHT=... -DOUTFILE=FILE orvanta.nsi
; STAGE holds orvanta.exe and LICENSE.txt; ICON is the program's icon file.

Unicode true
; The program is 64-bit, and so is the installer.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvanta"

Name "Orvanta"
OutFile "${OUTFILE}"
RequestExecutionLevel user
ManifestDPIAware true
InstallDir "$LOCALAPPDATA\Programs\Orvanta"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartFromShortcut

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VERSION_NUMBERS}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "Orvanta"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "Orvanta"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "${COPYRIGHT}"

; Orvanta keeps rs232c.ini and DATALOG\ in the folder it starts in; started from the Start menu,
; that is the user's own Orvanta folder, as on Linux, never the program's folder.
!define WORK_DIR "$PROFILE\Orvanta"

Section
    SetOutPath "$INSTDIR"
    File "${STAGE}\orvanta.exe"
    File "${STAGE}\LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "${WORK_DIR}"
    SetOutPath "${WORK_DIR}"
    CreateShortcut "$SMPROGRAMS\Orvanta.lnk" "$INSTDIR\orvanta.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Orvanta"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orvanta.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function StartFromShortcut
    ExecShell "" "$SMPROGRAMS\Orvanta.lnk"
FunctionEnd

; The user's settings and logs in the Orvanta folder stay; so does anything else in the
; program's folder, which is then left in place.
Section "Uninstall"
    Delete "$SMPROGRAMS\Orvanta.lnk"
    Delete "$INSTDIR\orvanta.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Call un.DeleteUninstaller
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; The uninstaller runs from a copy of itself in the temporary folder, started by uninstall.exe,
; which holds its file until it has ended; on a busy machine that takes a moment. Up to 10 s.
Function un.DeleteUninstaller
    StrCpy $0 0
    retry:
        ClearErrors
        Delete "$INSTDIR\uninstall.exe"
        IfErrors 0 done
        IntOp $0 $0 + 1
        IntCmp $0 100 done
        Sleep 100
        Goto retry
    done:
FunctionEnd
