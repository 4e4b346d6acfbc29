; The Windows installer, brisvane-setup.exe. Built with makensis on Linux:
;   makensis -DPROGRAM=brisvan.exe -DHELPFILE=brisvan.hlp -DHTMLHELP=brisvan_help.html \
;            -DHTMLSETTINGS=brisvan_settings.htm -DICON=brisvane.ico \
;            -DOUTFILE=brisvane-setup.exe [-DTARGET=amd64-unicode] brisvane.nsi
; It installs the program and its help file, with the HTML help that the program opens where
; Windows has no WinHelp viewer (10 and 11), into a folder of their own, registers the program
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
    File "/oname=brisvan.htm" "${HTMLHELP}"
    File "/oname=brisvan_settings.htm" "${HTMLSETTINGS}"
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

; The uninstaller removes each entry through a handle on the entry itself, checked first: never a
; link, junction or other reparse point, nor anything one leads to. Under Wine a Unix link to a
; file looks like a plain file, and a delete by its name deletes the file it leads to; so an entry
; must also have the real name (as GetFinalPathNameByHandleW gives it) of its folder's entry.
; Before Vista there is no real name to compare, and there a junction, the only kind of link,
; carries the reparse attribute.
!define ACCESS_LOOK 0x00100080 ; SYNCHRONIZE, FILE_READ_ATTRIBUTES
!define ACCESS_REMOVE 0x00110180 ; DELETE and FILE_WRITE_ATTRIBUTES besides
!define OPEN_FOLLOWING 0x02000000 ; FILE_FLAG_BACKUP_SEMANTICS
!define OPEN_ITSELF 0x02200000 ; FILE_FLAG_OPEN_REPARSE_POINT besides
!define REPARSE_POINT 0x400
!define DIRECTORY 0x10

; Opens $0 for the access $1 with the flags $2. Out: $3 the handle (-1 when it can't be opened),
; $4 its attributes, $5 its real name ("?" where the system has none to give, "" when it fails).
Function un.OpenEntry
    System::Call "kernel32::CreateFileW(w r0, i r1, i 7, p 0, i 3, i r2, p 0) p .r3"
    StrCpy $4 ${REPARSE_POINT}
    StrCpy $5 ""
    ${If} $3 = -1
        Return
    ${EndIf}
    System::Alloc 52 ; BY_HANDLE_FILE_INFORMATION, whose first field is the attributes
    Pop $6
    System::Call "kernel32::GetFileInformationByHandle(p r3, p r6) i .r7"
    ${If} $7 <> 0
        System::Call "*$6(i .r4)"
    ${EndIf}
    System::Free $6
    System::Call "kernel32::GetFinalPathNameByHandleW(p r3, w .r5, i ${NSIS_MAX_STRLEN}, i 0) i .r7"
    ${If} $7 == "error"
        StrCpy $5 "?"
    ${ElseIf} $7 = 0
    ${OrIf} $7 >= ${NSIS_MAX_STRLEN}
        StrCpy $5 ""
    ${EndIf}
FunctionEnd

; $R7: the real name of the folder $R9, which the user chose (a link there is followed), or ""
; when it can't be opened: then nothing in it passes the check.
Function un.FolderRealName
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    StrCpy $0 $R9
    StrCpy $1 ${ACCESS_LOOK}
    StrCpy $2 ${OPEN_FOLLOWING}
    Call un.OpenEntry
    StrCpy $R7 ""
    ${If} $3 <> -1
        StrCpy $R7 $5
        System::Call "kernel32::CloseHandle(p r3)"
    ${EndIf}
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Whether the entry opened ($3, $4, $5) is the entry $R1 of the folder whose real name is $R7
; itself: $6 is 1 when it is.
Function un.IsEntryItself
    StrCpy $6 0
    ${If} $3 <> -1
    ${AndIfNot} $4 & ${REPARSE_POINT}
        ${If} $R7 == "?"
        ${AndIf} $5 == "?"
            StrCpy $6 1
        ${ElseIf} $R7 != ""
        ${AndIf} $5 == "$R7\$R1"
            StrCpy $6 1
        ${EndIf}
    ${EndIf}
FunctionEnd

; Deletes the entry open as $3 (attributes $4) when its handle is closed, clearing read-only first.
Function un.MarkForDeletion
    System::Call "*(p 0, p 0) p .r6" ; IO_STATUS_BLOCK
    ${If} $4 & 0x1
        ; FILE_BASIC_INFORMATION: the four times unchanged, FILE_ATTRIBUTE_NORMAL.
        System::Call "*(l 0, l 0, l 0, l 0, i 0x80, i 0) p .r7"
        System::Call "ntdll::NtSetInformationFile(p r3, p r6, p r7, i 40, i 4)"
        System::Free $7
    ${EndIf}
    System::Call "*(i 1) p .r7" ; FILE_DISPOSITION_INFORMATION
    System::Call "ntdll::NtSetInformationFile(p r3, p r6, p r7, i 1, i 13)"
    System::Free $7
    System::Free $6
FunctionEnd

; Removes the entry $R1 of the folder $R9, whose real name is $R7, when it is that entry itself:
; a file, or where $R6 is "any" also a folder with everything in it. Links are left alone.
Function un.RemoveEntry
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    StrCpy $0 "$R9\$R1"
    StrCpy $1 ${ACCESS_REMOVE}
    StrCpy $2 ${OPEN_ITSELF}
    Call un.OpenEntry
    Call un.IsEntryItself
    ${If} $6 = 1
        ${IfNot} $4 & ${DIRECTORY}
            Call un.MarkForDeletion
        ${ElseIf} $R6 == "any"
            ; Listing it needs the handle closed. Its entries are checked against the real
            ; name it had here, and the folder itself again before it goes.
            System::Call "kernel32::CloseHandle(p r3)"
            Push $R9
            Push $R7
            StrCpy $R9 $0
            StrCpy $R7 $5
            Call un.EmptyFolder
            Pop $R7
            Pop $R9
            Call un.OpenEntry
            Call un.IsEntryItself
            ${If} $6 = 1
            ${AndIf} $4 & ${DIRECTORY}
                StrCpy $4 0
                Call un.MarkForDeletion
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} $3 <> -1
        System::Call "kernel32::CloseHandle(p r3)"
    ${EndIf}
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Removes everything inside the folder $R9, whose real name is $R7, as un.RemoveEntry does.
Function un.EmptyFolder
    Push $R0
    Push $R1
    Push $R6
    StrCpy $R6 "any"
    FindFirst $R0 $R1 "$R9\*.*"
    ${DoWhile} $R1 != ""
        ${If} $R1 != "."
        ${AndIf} $R1 != ".."
            Call un.RemoveEntry
        ${EndIf}
        FindNext $R0 $R1
    ${Loop}
    FindClose $R0
    Pop $R6
    Pop $R1
    Pop $R0
FunctionEnd

Section "Uninstall"
    StrCpy $R9 $INSTDIR
    Call un.FolderRealName
    StrCpy $R6 "file"
    ; The program's files, and what WinHelp keeps beside a help file it has opened.
    StrCpy $R1 "brisvan.exe"
    Call un.RemoveEntry
    StrCpy $R1 "brisvan.hlp"
    Call un.RemoveEntry
    StrCpy $R1 "brisvan.htm"
    Call un.RemoveEntry
    StrCpy $R1 "brisvan_settings.htm"
    Call un.RemoveEntry
    StrCpy $R1 "brisvan.gid"
    Call un.RemoveEntry
    StrCpy $R1 "brisvan.fts"
    Call un.RemoveEntry
    StrCpy $R1 "brisvan.ftg"
    Call un.RemoveEntry
    ; Folders a cleaning run parked here and the next start did not get to remove.
    StrCpy $R6 "any"
    StrCpy $R1 0
    ${Do}
        Call un.RemoveEntry
        IntOp $R1 $R1 + 1
    ${LoopUntil} $R1 > 99
    StrCpy $R6 "file"
    StrCpy $R1 "uninstall.exe"
    Call un.RemoveEntry
    RMDir "$INSTDIR"

    StrCpy $R9 "$SMPROGRAMS\Brisvane"
    Call un.FolderRealName
    StrCpy $R1 "Brisvane.lnk"
    Call un.RemoveEntry
    StrCpy $R1 "Brisvane Help.lnk"
    Call un.RemoveEntry
    RMDir "$SMPROGRAMS\Brisvane"

    DeleteRegKey HKLM "${APP_PATHS}"
    DeleteRegValue HKLM "${RUN_KEY}" "Brisvane"
    ; Where the machine's Run key refused the program, it wrote the user's: this user's goes too.
    DeleteRegValue HKCU "${RUN_KEY}" "Brisvane"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; The user's settings (HKEY_CURRENT_USER\Software\Tessmark\Brisvane) stay.
SectionEnd
