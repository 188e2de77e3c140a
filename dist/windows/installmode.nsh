; For whom the program is installed, shared by the installer and the uninstaller (the macro
; defines each function twice, once with the "un." prefix).
;
; By default the program is installed for the current user alone: under
; %LOCALAPPDATA%\Programs\Tarv, with its Start-menu shortcut and its "Apps & features" entry in the
; user's own profile and hive, which needs no administrator. "/AllUsers" on the command line (or
; the choice on the installer's first page) installs it for everyone: under Program Files, with
; the entry under HKEY_LOCAL_MACHINE, and that needs an administrator, asked for by starting the
; installer again elevated. The registry root SHCTX and the shell folders follow SetShellVarContext.

!include "LogicLib.nsh"
!include "FileFunc.nsh"

Var TarvAllUsers  ; 1 for all users, 0 for the current user
Var TarvModeGiven ; 1 when the command line chose the mode

!macro TARV_INSTALL_MODE_FUNCTIONS un

; Reads "/AllUsers" and "/CurrentUser" from the command line.
Function ${un}TarvReadModeOptions
    Push $0
    Push $1
    StrCpy $TarvAllUsers 0
    StrCpy $TarvModeGiven 0
    ${${un}GetParameters} $0
    ClearErrors
    ${${un}GetOptions} $0 "/AllUsers" $1
    ${IfNot} ${Errors}
        StrCpy $TarvAllUsers 1
        StrCpy $TarvModeGiven 1
    ${EndIf}
    ClearErrors
    ${${un}GetOptions} $0 "/CurrentUser" $1
    ${IfNot} ${Errors}
        StrCpy $TarvAllUsers 0
        StrCpy $TarvModeGiven 1
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; Points the shell folders and SHCTX at the chosen mode.
Function ${un}TarvUseMode
    ${If} $TarvAllUsers = 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd

; An install for all users needs an administrator. Without one, this program is started again
; with the same options and "/AllUsers" through the "runas" verb, which asks for one, and this
; copy ends; $0 is the program to start ($EXEPATH for the installer; the uninstaller runs from a
; temporary copy, so it starts its original).
Function ${un}TarvRequireAdmin
    Push $1
    Push $2
    Push $3
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
        ${${un}GetParameters} $1
        ; The uninstaller's temporary copy is told its folder by a last "_?=": the original,
        ; started again, must copy itself anew, so that it can remove itself.
        StrLen $2 $1
        ${Do}
            IntOp $2 $2 - 1
            ${IfThen} $2 < 0 ${|} ${Break} ${|}
            StrCpy $3 $1 3 $2
            ${If} $3 == "_?="
                StrCpy $1 $1 $2
                ${Break}
            ${EndIf}
        ${Loop}
        ClearErrors
        ${${un}GetOptions} $1 "/AllUsers" $2
        ${If} ${Errors}
            ; "/D=" must stay last.
            StrCpy $1 "/AllUsers $1"
        ${EndIf}
        ClearErrors
        ExecShellWait "runas" "$0" "$1"
        ${If} ${Errors}
            MessageBox MB_OK|MB_ICONSTOP "Η εγκατάσταση για όλους τους χρήστες χρειάζεται δικαιώματα διαχειριστή." /SD IDOK
            SetErrorLevel 5
        ${EndIf}
        Quit
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
FunctionEnd

!macroend
