; The uninstaller's removal of what the installer put in place. scripts/build-windows writes one
; TarvRemove line for every installed file and one TarvRemoveFolder line for every folder, deepest
; first, from the same staged files that the installer takes.
;
; A file still in use (the program of another user, or one that could not be ended) is named to
; the user and removed at the next start of Windows: through the system's list of pending removals
; when the uninstaller may write it (an administrator), else through the user's RunOnce key, which
; Windows runs at the user's next sign-in.

!include "LogicLib.nsh"

Var TarvLeftOver ; the files left behind, one a line
Var TarvLater    ; how many removals wait in the RunOnce key

!macro TarvRemove path
    Push "${path}"
    Call un.TarvRemoveFile
!macroend

!macro TarvRemoveFolder path
    Push "${path}"
    Call un.TarvRemoveFolder
!macroend

; Adds a command to the RunOnce key; one value per command keeps each within its length limit.
Function un.TarvRunLater
    Exch $0
    IntOp $TarvLater $TarvLater + 1
    WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\RunOnce" "Tarv remove $TarvLater" \
        '"$SYSDIR\cmd.exe" /c $0'
    Pop $0
FunctionEnd

Function un.TarvRemoveFile
    Exch $0
    ClearErrors
    Delete "$0"
    ${If} ${Errors}
        DetailPrint "Σε χρήση, θα διαγραφεί στην επόμενη εκκίνηση: $0"
        StrCpy $TarvLeftOver "$TarvLeftOver$\r$\n$0"
        ClearErrors
        Delete /REBOOTOK "$0"
        ${If} ${Errors}
            Push 'del /f /q "$0"'
            Call un.TarvRunLater
        ${EndIf}
    ${EndIf}
    Pop $0
FunctionEnd

; A folder goes when it is empty; one that still holds a file left behind goes with it later.
; A folder that holds the user's own files stays.
Function un.TarvRemoveFolder
    Exch $0
    ClearErrors
    RMDir "$0"
    ${If} ${Errors}
    ${AndIf} $TarvLeftOver != ""
        ${If} ${RebootFlag}
            RMDir /REBOOTOK "$0"
        ${Else}
            Push 'rd "$0"'
            Call un.TarvRunLater
        ${EndIf}
    ${EndIf}
    Pop $0
FunctionEnd

; The Run value starts the program at sign-in; it goes only when it names this install's folder
; (a portable copy writes the same value name with its own path).
Function un.TarvRemoveRunValue
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    ReadRegStr $0 HKCU "${RUN_KEY}" "Tarv"
    StrLen $1 "$INSTDIR\"
    StrLen $2 $0
    IntOp $2 $2 - $1
    ${ForEach} $3 0 $2 + 1
        StrCpy $4 $0 $1 $3
        ; StrCmp ignores case, as Windows does with paths.
        ${If} $4 == "$INSTDIR\"
            DeleteRegValue HKCU "${RUN_KEY}" "Tarv"
            ${Break}
        ${EndIf}
    ${Next}
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Names the files left behind. A silent uninstall says so by its exit status, 3010, which
; Windows' own installers use for "done, a restart completes it".
Function un.TarvReportLeftOver
    ${If} $TarvLeftOver != ""
        MessageBox MB_OK|MB_ICONEXCLAMATION "Τα παρακάτω αρχεία ήταν σε χρήση και δεν διαγράφηκαν. Θα διαγραφούν στην επόμενη εκκίνηση των Windows:$\r$\n$TarvLeftOver" /SD IDOK
        SetErrorLevel 3010
    ${EndIf}
FunctionEnd
