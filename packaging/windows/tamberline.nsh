; The installer's own parts, included by the generated installer script before its pages.
; The program keeps its settings file in the current directory, so every shortcut starts it in the
; installing user's %APPDATA%\Tamberline. The installer works for all users when run by an
; administrator; the shortcuts and that folder are the installing user's, hence the switches of the
; shell folders' context below.

; A 64-bit installer for the 64-bit program: it also runs where no 32-bit layer is (wine64 alone).
Target amd64-unicode

!define TAMBERLINE_LINK "Настройка времени.lnk"

; CPack's script builds on the first Modern UI, whose welcome page keeps its text in an INI file:
; a real line break there ends the text: \r\n written out makes one, and \\ a backslash.
!define MUI_WELCOMEPAGE_TEXT "Программа «Настройка времени» показывает время GPS-часов на COM-порту и ставит по ним часы компьютера.\r\n\r\nЧтобы ставить часы компьютера, учётной записи пользователя нужно право на изменение системного времени (SeSystemtimePrivilege; у администраторов оно есть). Без него программа показывает время прибора, но часы компьютера не меняет.\r\n\r\nНастройки хранятся в папке %APPDATA%\\Tamberline пользователя."

; The optional log-in entry: a box on the last page, ticked by default; a silent install (/S) does
; not show the page and makes no such entry.
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Запускать при входе в систему"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION TamberlineAddStartupEntry

; Back to the context the generated script chose (all users for administrators).
!macro TamberlineRestoreContext
  UserInfo::GetAccountType
  Pop $R9
  StrCmp $R9 "Admin" 0 +3
    SetShellVarContext all
    Goto +3
  StrCmp $R9 "Power" 0 +2
    SetShellVarContext all
!macroend

!macro TamberlineShortcuts
  SetShellVarContext current
  CreateDirectory "$APPDATA\Tamberline"
  SetOutPath "$APPDATA\Tamberline"
  CreateShortCut "$SMPROGRAMS\${TAMBERLINE_LINK}" "$INSTDIR\tamberline.exe"
  SetOutPath "$INSTDIR"
  !insertmacro TamberlineRestoreContext
!macroend

Function TamberlineAddStartupEntry
  SetShellVarContext current
  SetOutPath "$APPDATA\Tamberline"
  CreateShortCut "$SMSTARTUP\${TAMBERLINE_LINK}" "$INSTDIR\tamberline.exe" "" "" 0 SW_SHOWMINIMIZED
  SetOutPath "$INSTDIR"
  !insertmacro TamberlineRestoreContext
FunctionEnd

; The settings in %APPDATA%\Tamberline are the user's and stay.
!macro TamberlineRemoveShortcuts
  SetShellVarContext current
  Delete "$SMPROGRAMS\${TAMBERLINE_LINK}"
  Delete "$SMSTARTUP\${TAMBERLINE_LINK}"
  !insertmacro TamberlineRestoreContext
!macroend
