; Mavris setup: puts Mavris.exe with its help file, read-mes and licence into
; "Program Files\ORVA\Mavris", adds a Start-menu entry and an entry in the list of installed
; programs, and writes the uninstaller. Pages in German or English by the system's language.
;
; Built by packaging/CMakeLists.txt:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DARCH=x86|amd64 -DSTAGE=<files>
;            -DICON=<app.ico> -DOUTFILE=<setup.exe> mavris.nsi
; ARCH x86 is the release (32-bit installer for the i686 program); amd64 installs the
; x86_64 build, which is what runs under 64-bit Wine in the installer test.

!ifndef VERSION
    !error "VERSION is not defined"
!endif
!ifndef STAGE
    !error "STAGE is not defined"
!endif
!ifndef OUTFILE
    !error "OUTFILE is not defined"
!endif

!if "${ARCH}" == "amd64"
    Target amd64-unicode
    !define PROGRAM_FILES "$PROGRAMFILES64"
!else if "${ARCH}" == "x86"
    Target x86-unicode
    !define PROGRAM_FILES "$PROGRAMFILES"
!else
    !error "ARCH must be x86 or amd64"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PUBLISHER "ORVA GmbH"
; The tool holds the first mutex in the global namespace while it runs, in whichever session,
; and any user may open it; the second is its own session's (one instance per session), all
; that versions before it held.
!define TOOL_GLOBAL_MUTEX "Global\Mavris-Running-2CBC76AC-E836-48a1-8376-06E6760B924F"
!define TOOL_MUTEX "Modem-On-Hold-2CBC76AC-E836-48a1-8376-06E6760B924F"
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Mavris"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "ORVA_ModemOnHold"
!define SETTINGS_KEY "Software\ORVA\Mavris"
!define SHORTCUT "$SMPROGRAMS\Mavris.lnk"

Name "Mavris ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\ORVA\Mavris"
RequestExecutionLevel admin
ManifestSupportedOS all
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow

!ifdef ICON
    !define MUI_ICON "${ICON}"
    !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\$(README_FILE)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one for every system language but German.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString TOOL_RUNNING ${LANG_ENGLISH} "Mavris is running. Please end it first: right-click its icon in the notification area and choose Exit. Then click Retry."
LangString TOOL_RUNNING ${LANG_GERMAN} "Mavris läuft gerade. Bitte beenden Sie es zuerst: Rechtsklick auf sein Symbol im Infobereich, dann Exit. Klicken Sie danach auf Wiederholen."
LangString README_FILE ${LANG_ENGLISH} "README.txt"
LangString README_FILE ${LANG_GERMAN} "LIESMICH.txt"
LangString UN_PROGRAM ${LANG_ENGLISH} "Program"
LangString UN_PROGRAM ${LANG_GERMAN} "Programm"
LangString UN_PROGRAM_TEXT ${LANG_ENGLISH} "Mavris, its Start-menu entry and its start with Windows."
LangString UN_PROGRAM_TEXT ${LANG_GERMAN} "Mavris, sein Startmenü-Eintrag und sein automatischer Start."
LangString UN_SETTINGS ${LANG_ENGLISH} "My settings"
LangString UN_SETTINGS ${LANG_GERMAN} "Meine Einstellungen"
LangString UN_SETTINGS_TEXT ${LANG_ENGLISH} "Your settings for Mavris. Leave unticked to keep them for a later installation."
LangString UN_SETTINGS_TEXT ${LANG_GERMAN} "Ihre Einstellungen für Mavris. Nicht ausgewählt bleiben sie für eine spätere Installation erhalten."

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Mavris"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Mavris ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "(c) 2026 ${PUBLISHER}"

; Leaves $0 non-zero when the named mutex exists: it opens, or it exists but may not be
; opened from here (a tool of another account, or one with other rights).
!macro DEFINE_MUTEX_EXISTS PREFIX
    Function ${PREFIX}MutexExists
        Exch $2
        System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w r2) p .r0 ?e'
        Pop $1
        ${If} $0 != 0
            System::Call 'kernel32::CloseHandle(p r0)'
        ${ElseIf} $1 = ${ERROR_ACCESS_DENIED}
            StrCpy $0 1
        ${EndIf}
        Pop $2
    FunctionEnd
!macroend

; Leaves $0 at 0 once the tool is not running in any session; otherwise asks the user to end
; it (Retry looks again) and leaves $0 non-zero when the user cancels. Silent runs cancel at
; once.
!macro DEFINE_WAIT_FOR_TOOL_END PREFIX
    !insertmacro DEFINE_MUTEX_EXISTS "${PREFIX}"
    Function ${PREFIX}WaitForToolEnd
        check:
        Push "${TOOL_GLOBAL_MUTEX}"
        Call ${PREFIX}MutexExists
        ${If} $0 = 0
            Push "${TOOL_MUTEX}"
            Call ${PREFIX}MutexExists
        ${EndIf}
        StrCmp $0 0 done
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(TOOL_RUNNING)" /SD IDCANCEL IDRETRY check
        done:
    FunctionEnd
!macroend
!insertmacro DEFINE_WAIT_FOR_TOOL_END ""
!insertmacro DEFINE_WAIT_FOR_TOOL_END "un."

; The autorun value under ROOT goes when it names a program that is no longer there (the one
; just removed); a copy of the tool elsewhere that the user runs keeps its entry. The tool
; quotes a path with a blank, as a command line needs; the file is looked for without them.
!macro REMOVE_DANGLING_AUTORUN ROOT
    ReadRegStr $0 ${ROOT} "${RUN_KEY}" "${RUN_VALUE}"
    StrCpy $1 $0 1
    ${If} $1 == '"'
        StrCpy $0 $0 "" 1
        StrCpy $1 $0 1 -1
        ${If} $1 == '"'
            StrCpy $0 $0 -1
        ${EndIf}
    ${EndIf}
    ${If} $0 != ""
    ${AndIfNot} ${FileExists} "$0"
        DeleteRegValue ${ROOT} "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
!macroend

!macro SET_VIEWS
    SetShellVarContext all
    !if "${ARCH}" == "amd64"
        SetRegView 64
    !endif
!macroend

Function .onInit
    !insertmacro SET_VIEWS
    Call WaitForToolEnd
    StrCmp $0 0 +2
    Abort
FunctionEnd

Section "Mavris" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${STAGE}/Mavris.exe"
    File "${STAGE}/README.txt"
    File "${STAGE}/LIESMICH.txt"
    File "${STAGE}/LICENSE.txt"
    SetOutPath "$INSTDIR\help"
    File "${STAGE}/help/Mavris.chm"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\Mavris.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Mavris"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Mavris.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    !insertmacro SET_VIEWS
    Call un.WaitForToolEnd
    StrCmp $0 0 +2
    Abort
FunctionEnd

Section "un.$(UN_PROGRAM)" UnSecProgram
    SectionIn RO
    Delete "$INSTDIR\Mavris.exe"
    Delete "$INSTDIR\help\Mavris.chm"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LIESMICH.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR\help"
    RMDir "$INSTDIR"
    RMDir "${PROGRAM_FILES}\ORVA"
    Delete "${SHORTCUT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; Where the tool registered itself to start with Windows: HKCU for the modem key layout
    ; of the NT family, HKLM for the legacy one.
    !insertmacro REMOVE_DANGLING_AUTORUN HKCU
    !insertmacro REMOVE_DANGLING_AUTORUN HKLM
SectionEnd

Section /o "un.$(UN_SETTINGS)" UnSecSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\ORVA"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${UnSecProgram} $(UN_PROGRAM_TEXT)
    !insertmacro MUI_DESCRIPTION_TEXT ${UnSecSettings} $(UN_SETTINGS_TEXT)
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
