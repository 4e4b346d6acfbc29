; The Windows installer, brisvane-setup.exe. Built with makensis on Linux:
;   makensis -DPROGRAM=brisvan.exe -DHELPFILE=brisvan.hlp -DICON=brisvane.ico \
;            -DOUTFILE=brisvane-setup.exe [-DTARGET=amd64-unicode] brisvane.nsi
; It installs the program and its help file into a folder of their own, registers the program
; under App Paths (where the program finds its install folder), and adds a Start-menu shortcut
; and an Add/Remove Programs entry. The uninstaller removes what the program and its
; installation wrote, and leaves the user's own settings alone.

!ifndef TARGET
    !define TARGET x86-unicode
!endif
Target ${TARGET}
Unicode true

!include "LogicLib.nsh"

!define APP_PATHS "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\brisvan.exe"
!define RUN_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Brisvane"

Name "Brisvane"
Caption "Brisvane 1.02 Setup"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
!if "${TARGET}" == "amd64-unicode"
    InstallDir "$PROGRAMFILES64\Brisvane"
!else
    InstallDir "$PROGRAMFILES\Brisvane"
!endif
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "1.0.2.0"
VIAddVersionKey "ProductName" "Brisvane"
VIAddVersionKey "ProductVersion" "1.02"
VIAddVersionKey "FileVersion" "1.02"
VIAddVersionKey "FileDescription" "Brisvane Setup"
VIAddVersionKey "LegalCopyright" ""

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The Start menu of all users, as the App Paths entry is the machine's.
Function .onInit
    SetShellVarContext all
!if "${TARGET}" == "amd64-unicode"
    SetRegView 64
!endif
FunctionEnd

Function un.onInit
    SetShellVarContext all
!if "${TARGET}" == "amd64-unicode"
    SetRegView 64
!endif
FunctionEnd

Section "Brisvane"
    SetOutPath "$INSTDIR"
    File "/oname=brisvan.exe" "${PROGRAM}"
    File "/oname=brisvan.hlp" "${HELPFILE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The program's own entry: its full path, and its folder without a trailing backslash.
    WriteRegStr HKLM "${APP_PATHS}" "" "$INSTDIR\brisvan.exe"
    WriteRegStr HKLM "${APP_PATHS}" "Path" "$INSTDIR"

    CreateDirectory "$SMPROGRAMS\Brisvane"
    CreateShortcut "$SMPROGRAMS\Brisvane\Brisvane.lnk" "$INSTDIR\brisvan.exe"
    CreateShortcut "$SMPROGRAMS\Brisvane\Brisvane Help.lnk" "$INSTDIR\brisvan.hlp"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Brisvane 1.02"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "1.02"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\brisvan.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes everything inside the folder $R9 without following any link: a junction or symbolic
; link is removed as the link itself and never entered, so nothing outside the install folder
; can be reached through a parked folder.
Function un.EmptyFolder
    Push $R0
    Push $R1
    Push $R2
    FindFirst $R0 $R1 "$R9\*.*"
    ${DoWhile} $R1 != ""
        ${If} $R1 != "."
        ${AndIf} $R1 != ".."
            System::Call "kernel32::GetFileAttributesW(w '$R9\$R1') i .R2"
            ${If} $R2 = -1
                ; Gone meanwhile.
            ${ElseIf} $R2 & 0x400
                ; FILE_ATTRIBUTE_REPARSE_POINT: the link only.
                ${If} $R2 & 0x10
                    RMDir "$R9\$R1"
                ${Else}
                    Delete "$R9\$R1"
                ${EndIf}
            ${ElseIf} $R2 & 0x10
                Push $R9
                StrCpy $R9 "$R9\$R1"
                Call un.EmptyFolder
                Pop $R9
                RMDir "$R9\$R1"
            ${Else}
                SetFileAttributes "$R9\$R1" NORMAL
                Delete "$R9\$R1"
            ${EndIf}
        ${EndIf}
        FindNext $R0 $R1
    ${Loop}
    FindClose $R0
    Pop $R2
    Pop $R1
    Pop $R0
FunctionEnd

Section "Uninstall"
    Delete "$INSTDIR\brisvan.exe"
    Delete "$INSTDIR\brisvan.hlp"
    ; What WinHelp keeps beside a help file it has opened.
    Delete "$INSTDIR\brisvan.gid"
    Delete "$INSTDIR\brisvan.fts"
    Delete "$INSTDIR\brisvan.ftg"

    ; Folders a cleaning run parked here and the next start did not get to remove.
    StrCpy $R8 0
    ${Do}
        System::Call "kernel32::GetFileAttributesW(w '$INSTDIR\$R8') i .R2"
        ${If} $R2 <> -1
            ${If} $R2 & 0x400
                RMDir "$INSTDIR\$R8"
            ${ElseIf} $R2 & 0x10
                StrCpy $R9 "$INSTDIR\$R8"
                Call un.EmptyFolder
                RMDir "$INSTDIR\$R8"
            ${EndIf}
        ${EndIf}
        IntOp $R8 $R8 + 1
    ${LoopUntil} $R8 > 99

    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\Brisvane\Brisvane.lnk"
    Delete "$SMPROGRAMS\Brisvane\Brisvane Help.lnk"
    RMDir "$SMPROGRAMS\Brisvane"

    DeleteRegKey HKLM "${APP_PATHS}"
    DeleteRegValue HKLM "${RUN_KEY}" "Brisvane"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; The user's settings (HKEY_CURRENT_USER\Software\Tessmark\Brisvane) stay.
SectionEnd
