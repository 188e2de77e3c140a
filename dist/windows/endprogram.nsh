; Ending the running program before its files are replaced or removed, shared by the installer
; and the uninstaller (the macro defines each function twice, once with the "un." prefix).
;
; A running program keeps its executable and DLLs open, so that Windows refuses to replace or
; delete them. The program is found by the full path of its executable ($INSTDIR\tarv.exe or
; $INSTDIR\tarvw.exe), so that a portable copy elsewhere and other users' programs in their own
; folders are never touched. It is first asked to quit: a WM_QUIT posted to its threads makes the
; event loop quit the way the tray menu's "Exit" does, saving what it holds. Only a program that
; does not end within ten seconds is terminated.

!include "LogicLib.nsh"

Var TarvScanAction ; 0 counts the program's processes, 1 asks them to quit, 2 terminates them
Var TarvScanFound  ; the number of the program's threads the last scan met
Var TarvEnded      ; 1 when a running program was ended

!macro TARV_END_PROGRAM_FUNCTIONS un

; One pass over a snapshot of the system's threads: every thread whose process runs one of the
; program's executables is counted and, by $TarvScanAction, asked to quit or has its process
; terminated.
Function ${un}TarvScan
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    StrCpy $TarvScanFound 0
    ; TH32CS_SNAPTHREAD
    System::Call 'kernel32::CreateToolhelp32Snapshot(i 4, i 0) p .r0'
    ${If} $0 P<> -1
        ; THREADENTRY32: dwSize, cntUsage, th32ThreadID, th32OwnerProcessID and three more.
        System::Call '*(i 28, i 0, i 0, i 0, i 0, i 0, i 0) p .r1'
        StrCpy $5 "" ; the process last looked at
        StrCpy $6 0  ; whether it runs the program
        System::Call 'kernel32::Thread32First(p r0, p r1) i .r2'
        ${DoWhile} $2 <> 0
            System::Call '*$1(i, i, i .r3, i .r4)'
            ${If} $4 != $5
                StrCpy $5 $4
                StrCpy $6 0
                ; PROCESS_QUERY_LIMITED_INFORMATION: enough to read the executable's path.
                System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r4) p .r2'
                ${If} $2 P<> 0
                    System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN}) i .r4'
                    System::Call 'kernel32::CloseHandle(p r2)'
                    ${If} $3 == "$INSTDIR\tarv.exe"
                    ${OrIf} $3 == "$INSTDIR\tarvw.exe"
                        StrCpy $6 1
                        ${If} $TarvScanAction == 2
                            ; PROCESS_TERMINATE
                            System::Call 'kernel32::OpenProcess(i 1, i 0, i r5) p .r2'
                            ${If} $2 P<> 0
                                System::Call 'kernel32::TerminateProcess(p r2, i 1)'
                                System::Call 'kernel32::CloseHandle(p r2)'
                            ${EndIf}
                        ${EndIf}
                    ${EndIf}
                ${EndIf}
                ; The thread id was overwritten by the path: read the record again.
                System::Call '*$1(i, i, i .r3, i .r4)'
            ${EndIf}
            ${If} $6 = 1
                IntOp $TarvScanFound $TarvScanFound + 1
                ${If} $TarvScanAction == 1
                    ; WM_QUIT; a thread without a message queue refuses it, which is harmless.
                    System::Call 'user32::PostThreadMessageW(i r3, i 0x12, p 0, p 0)'
                ${EndIf}
            ${EndIf}
            System::Call 'kernel32::Thread32Next(p r0, p r1) i .r2'
        ${Loop}
        System::Free $1
        System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Waits up to $0 quarter seconds for the program's processes to be gone.
Function ${un}TarvWaitGone
    ${Do}
        StrCpy $TarvScanAction 0
        Call ${un}TarvScan
        ${If} $TarvScanFound = 0
        ${OrIf} $0 <= 0
            ${Break}
        ${EndIf}
        Sleep 250
        IntOp $0 $0 - 1
    ${Loop}
FunctionEnd

; Ends the program when it runs from $INSTDIR; sets $TarvEnded to 1 when it did.
Function ${un}TarvEndProgram
    Push $0
    StrCpy $TarvEnded 0
    StrCpy $TarvScanAction 0
    Call ${un}TarvScan
    ${If} $TarvScanFound > 0
        StrCpy $TarvEnded 1
        DetailPrint "Τερματισμός του Tarv που εκτελείται…"
        StrCpy $TarvScanAction 1
        Call ${un}TarvScan
        StrCpy $0 40
        Call ${un}TarvWaitGone
        ${If} $TarvScanFound > 0
            DetailPrint "Το Tarv δεν τερματίστηκε μόνο του· τερματίζεται αναγκαστικά."
            StrCpy $TarvScanAction 2
            Call ${un}TarvScan
            StrCpy $0 20
            Call ${un}TarvWaitGone
        ${EndIf}
    ${EndIf}
    Pop $0
FunctionEnd

; Asks before the program is ended (never when silent): a "Cancel" keeps the user on the page.
Function ${un}TarvAskToEnd
    ${IfNot} ${Silent}
        StrCpy $TarvScanAction 0
        Call ${un}TarvScan
        ${If} $TarvScanFound > 0
            MessageBox MB_OKCANCEL|MB_ICONQUESTION "Το Tarv εκτελείται. Για να συνεχιστεί, πρέπει να τερματιστεί (η καταγραφή των χρεώσεων σώζεται). Να τερματιστεί τώρα;" IDOK +2
            Abort
        ${EndIf}
    ${EndIf}
FunctionEnd

!macroend
