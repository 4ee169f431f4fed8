; The Windows setup: installs Dictionary.exe for the current user, without administrator rights, with a
; Start menu entry and an entry in Settings > Apps; its uninstaller takes all of that away again.
; Built by packaging/windows/CMakeLists.txt, which passes VERSION, WINDOWS_VERSION, PUBLISHER, HOME_SITE,
; PROGRAM_FILE (the Dictionary.exe to install), TEXTS (the folder of README.txt and LICENSE.txt), ICONS,
; TARGET and OUTFILE.
Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define NAME "Vorda Dictionary"
!define PROGRAM "Dictionary.exe"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VordaDictionary"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "VordaDictionary"
!define MAIN_WINDOW_CLASS "VordaDictionaryWindow"
!define MENU_FOLDER "$SMPROGRAMS\${NAME}"

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${NAME} ${VERSION}"
; A file that cannot be written stops the setup rather than leaving the program half replaced.
AllowSkipFiles off

VIProductVersion "${WINDOWS_VERSION}"
VIFileVersion "${WINDOWS_VERSION}"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${NAME} ${VERSION} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define MUI_ICON "${ICONS}/text.ico"
!define MUI_UNICON "${ICONS}/notext.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${NAME}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!insertmacro MUI_PAGE_LICENSE "${TEXTS}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var EndedCopies    ; how many running copies the setup closed
Var EarlierInstall ; 1 where the folder already held the program
Var Failure        ; why the setup stopped, where it said so itself
Var HadEntry       ; the folder the Settings entry named before this run, if there was one

; Closes running copies as Windows does at log-off: each main window gets WM_CLOSE, so the copy takes
; its icon away and leaves its auto-start value as it is. The setup closes every copy, wherever it was
; started from: they all share the one auto-start value, which a copy left running would delete at
; its Exit. The uninstaller closes only the installed program's. Sets the error flag where a copy is
; still running 10 s later.
!macro END_RUNNING_COPIES un only_installed
Function ${un}EndRunningCopies
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    StrCpy $4 0 ; windows looked at, a bound for a window that keeps coming back
    StrCpy $5 0 ; copies that did not end
    StrCpy $0 0
    ${Do}
        FindWindow $0 "${MAIN_WINDOW_CLASS}" "" 0 $0
        ${If} $0 = 0
        ${OrIf} $4 > 64
            ${Break}
        ${EndIf}
        IntOp $4 $4 + 1
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1)'
        ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
        System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i r1) p .r2'
        ${If} $2 P<> 0
            StrCpy $3 "$INSTDIR\${PROGRAM}"
            !if ${only_installed}
                System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN})'
            !endif
            ${If} $3 == "$INSTDIR\${PROGRAM}"
                DetailPrint "Closing ${NAME} (process $1)"
                ; Whether the process ends tells, not how soon the window answered.
                SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
                System::Call 'kernel32::WaitForSingleObject(p r2, i 10000) i .r3'
                ${If} $3 = 0
                    IntOp $EndedCopies $EndedCopies + 1
                    StrCpy $0 0 ; the list of windows changed: look again from the top
                ${Else}
                    IntOp $5 $5 + 1
                ${EndIf}
            ${EndIf}
            System::Call 'kernel32::CloseHandle(p r2)'
        ${EndIf}
    ${Loop}
    ClearErrors
    ${If} $5 > 0
        SetErrors
    ${EndIf}
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_COPIES "" 0
!insertmacro END_RUNNING_COPIES "un." 1

; Writes TEXT to the error output a silent run was given, where it was given one.
!macro TELL_ERROR_OUTPUT text
    ${If} ${Silent}
        System::Call 'kernel32::GetStdHandle(i -12) p .r9'
        ${If} $9 P<> 0
        ${AndIf} $9 P<> -1
            FileWrite $9 "${NAME} setup: ${text}$\r$\n"
        ${EndIf}
    ${EndIf}
!macroend

; Stops the setup: says why (in a message box, or on the error output of a silent run) and exits 2.
!macro FAIL why
    StrCpy $Failure "${why}"
    DetailPrint "${why}"
    !insertmacro TELL_ERROR_OUTPUT "${why}"
    MessageBox MB_OK|MB_ICONSTOP "${why}" /SD IDOK
    SetErrorLevel 2
    Abort "${why}"
!macroend

; The folder a /D= names, in every form a script may write it. NSIS itself reads only " /D=" as it
; stands, last and unquoted, and silently swaps a folder it finds unusable (a file in its way, a drive
; that is not there) for the default one; the setup stops instead of installing where it was not
; asked. A quoted or lower-case /D=, which NSIS does not read, is taken as written.
Function .onInit
    System::Call 'kernel32::GetCommandLineW() w .r0'
    StrLen $1 $0
    StrCpy $2 0
    ${Do}
        IntOp $2 $2 + 1
        ${If} $2 >= $1
            Return
        ${EndIf}
        StrCpy $3 $0 4 $2
        StrCpy $5 $0 5 $2
        ${If} $3 == " /D="
        ${OrIf} $5 == ' "/D='
            ${Break}
        ${EndIf}
    ${Loop}
    ${If} $3 == " /D="
        StrCpy $6 $0 "" $2
        StrCpy $6 $6 4
        IntOp $2 $2 + 4
        StrCpy $3 $0 "" $2
    ${Else}
        StrCpy $6 ""
        IntOp $2 $2 + 5
        StrCpy $3 $0 "" $2
        StrCpy $4 $3 1 -1
        ${If} $4 == '"'
            StrCpy $3 $3 -1
        ${EndIf}
    ${EndIf}
    ; Both sides as Windows spells them in full: slashes, dots and a trailing backslash aside.
    System::Call 'kernel32::GetFullPathNameW(w r3, i ${NSIS_MAX_STRLEN}, w .r4, p 0) i .r5'
    ${If} $5 = 0
        !insertmacro FAIL "The folder $3 cannot be used: it is no folder name."
    ${EndIf}
    ${Do}
        StrCpy $5 $4 1 -1
        ${If} $5 != "\"
            ${Break}
        ${EndIf}
        StrCpy $4 $4 -1
    ${Loop}
    StrCmpS $6 " /D=" 0 taken_as_written
    System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r5, p 0)'
    ${If} $4 != $5
        !insertmacro FAIL "The folder $3 cannot be used: a file is in its way, or its drive is not there."
    ${EndIf}
    Return
taken_as_written:
    StrCpy $INSTDIR $4
FunctionEnd

; The program is started as the user who runs the setup, never elevated: an elevated start would
; write its auto-start value where an ordinary one never looks.
Function StartProgram
    SetOutPath "$INSTDIR"
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
        ; The shell starts it with the signed-in user's own rights.
        Exec '"$WINDIR\explorer.exe" "$INSTDIR\${PROGRAM}"'
    ${Else}
        Exec '"$INSTDIR\${PROGRAM}"'
    ${EndIf}
FunctionEnd

; Puts one file in place: written next to its old self first, so that a setup that fails while
; writing leaves the earlier program whole; then moved over it in one step.
!macro PLACE_FILE name source
    ClearErrors
    File "/oname=${name}.new" "${source}"
    ${If} ${Errors}
        !insertmacro FAIL "${name} could not be written to $INSTDIR."
    ${EndIf}
!macroend
!macro COMMIT_FILE name
    ; MOVEFILE_REPLACE_EXISTING
    System::Call 'kernel32::MoveFileExW(w "$INSTDIR\${name}.new", w "$INSTDIR\${name}", i 1) i .r0'
    ${If} $0 = 0
        !insertmacro FAIL "${name} could not be replaced in $INSTDIR."
    ${EndIf}
!macroend

Section
    StrCpy $EarlierInstall 0
    ${If} ${FileExists} "$INSTDIR\${PROGRAM}"
        StrCpy $EarlierInstall 1
    ${EndIf}
    ; The Settings entry and the Start menu folder of an install this run did not make stay, whatever
    ; becomes of this one.
    ReadRegStr $HadEntry HKCU "${UNINSTALL_KEY}" "InstallLocation"

    ClearErrors
    CreateDirectory "$INSTDIR"
    SetOutPath "$INSTDIR"
    ${If} ${Errors}
        !insertmacro FAIL "The folder $INSTDIR cannot be made."
    ${EndIf}
    !insertmacro PLACE_FILE "${PROGRAM}" "${PROGRAM_FILE}"
    !insertmacro PLACE_FILE "README.txt" "${TEXTS}/README.txt"
    !insertmacro PLACE_FILE "LICENSE.txt" "${TEXTS}/LICENSE.txt"
    ClearErrors
    WriteUninstaller "$INSTDIR\${UNINSTALLER}.new"
    ${If} ${Errors}
        !insertmacro FAIL "${UNINSTALLER} could not be written to $INSTDIR."
    ${EndIf}

    ; Only with every new file written are the running copies closed.
    Call EndRunningCopies
    ${If} ${Errors}
        !insertmacro FAIL "${NAME} is still running and does not close. Choose Exit in its tray menu, then run the setup again."
    ${EndIf}
    !insertmacro COMMIT_FILE "${PROGRAM}"
    !insertmacro COMMIT_FILE "README.txt"
    !insertmacro COMMIT_FILE "LICENSE.txt"
    !insertmacro COMMIT_FILE "${UNINSTALLER}"

    ClearErrors
    CreateDirectory "${MENU_FOLDER}"
    CreateShortcut "${MENU_FOLDER}\${NAME}.lnk" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0
    CreateShortcut "${MENU_FOLDER}\Uninstall ${NAME}.lnk" "$INSTDIR\${UNINSTALLER}"
    ${If} ${Errors}
        !insertmacro FAIL "The Start menu entry could not be made in ${MENU_FOLDER}."
    ${EndIf}

    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    ClearErrors
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${HOME_SITE}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${If} ${Errors}
        !insertmacro FAIL "The entry in Settings > Apps could not be written."
    ${EndIf}

    ; A silent upgrade leaves the program running where it ran before; a shown setup asks on its
    ; last page.
    ${If} ${Silent}
    ${AndIf} $EndedCopies > 0
        Call StartProgram
    ${EndIf}
SectionEnd

; What a failed setup wrote goes again: the staged files always, and where the folder held no
; program before, everything, so that no half-installed program and no Settings entry is left.
Function .onInstFailed
    ; A file that could not be written in full (a full disk) stops the setup in NSIS itself, which
    ; says so only in a box that a silent run does not show.
    ${If} $Failure == ""
        !insertmacro TELL_ERROR_OUTPUT "A file could not be written to $INSTDIR: it is read-only or in use, or the disk is full."
    ${EndIf}
    ; A failed upgrade leaves the earlier program in place: the copies it closed run again.
    ${If} $EarlierInstall = 1
    ${AndIf} $EndedCopies > 0
    ${AndIf} ${FileExists} "$INSTDIR\${PROGRAM}"
        Call StartProgram
    ${EndIf}
    Delete "$INSTDIR\${PROGRAM}.new"
    Delete "$INSTDIR\README.txt.new"
    Delete "$INSTDIR\LICENSE.txt.new"
    Delete "$INSTDIR\${UNINSTALLER}.new"
    ${If} $EarlierInstall = 0
        SetOutPath "$TEMP" ; the folder cannot go while it is this process's own
        Delete "$INSTDIR\${PROGRAM}"
        Delete "$INSTDIR\README.txt"
        Delete "$INSTDIR\LICENSE.txt"
        Delete "$INSTDIR\${UNINSTALLER}"
        RMDir "$INSTDIR"
        ${If} $HadEntry == ""
            Delete "${MENU_FOLDER}\${NAME}.lnk"
            Delete "${MENU_FOLDER}\Uninstall ${NAME}.lnk"
            RMDir "${MENU_FOLDER}"
            DeleteRegKey HKCU "${UNINSTALL_KEY}"
        ${EndIf}
    ${EndIf}
FunctionEnd

; An auto-start value goes only where it names this installed program, quoted as the program writes
; it or bare as earlier versions did; a value naming another copy stays.
!macro DELETE_RUN_VALUE_IF_OURS root
    ClearErrors
    ReadRegStr $0 ${root} "${RUN_KEY}" "${RUN_VALUE}"
    ${If} $0 == '"$INSTDIR\${PROGRAM}"'
    ${OrIf} $0 == "$INSTDIR\${PROGRAM}"
        DeleteRegValue ${root} "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
!macroend

Section "Uninstall"
    Call un.EndRunningCopies
    ${If} ${Errors}
        !insertmacro FAIL "${NAME} is still running and does not close. Choose Exit in its tray menu, then uninstall it again."
    ${EndIf}
    SetOutPath "$TEMP" ; the folder cannot go while it is this process's own
    Delete "$INSTDIR\${PROGRAM}"
    ; A program that is still there keeps what finds and starts it: the entry, the links, the values.
    ${If} ${FileExists} "$INSTDIR\${PROGRAM}"
        !insertmacro FAIL "${PROGRAM} could not be removed from $INSTDIR: it is read-only or in use."
    ${EndIf}
    !insertmacro DELETE_RUN_VALUE_IF_OURS HKCU
    ; The machine's value only where this user may change it; elsewhere the delete is refused.
    !insertmacro DELETE_RUN_VALUE_IF_OURS HKLM
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\${UNINSTALLER}"
    ; What an interrupted setup left.
    Delete "$INSTDIR\${PROGRAM}.new"
    Delete "$INSTDIR\README.txt.new"
    Delete "$INSTDIR\LICENSE.txt.new"
    Delete "$INSTDIR\${UNINSTALLER}.new"
    RMDir "$INSTDIR"
    ; The entry and the links may by now be another folder's install.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        Delete "${MENU_FOLDER}\${NAME}.lnk"
        Delete "${MENU_FOLDER}\Uninstall ${NAME}.lnk"
        RMDir "${MENU_FOLDER}"
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd
