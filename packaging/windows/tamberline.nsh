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
!define MUI_WELCOMEPAGE_TEXT "Программа «Настройка времени» показывает время GPS-часов на COM-порту, а служба tamberlined ставит по ним часы компьютера.\r\n\r\nБез службы окно ставит часы само, если у учётной записи пользователя есть право на изменение системного времени (SeSystemtimePrivilege); без него оно показывает время прибора, но часы компьютера не меняет.\r\n\r\nНастройки окна хранятся в папке %APPDATA%\\Tamberline пользователя, настройки службы — в %ProgramData%\\Tamberline."

; The components page shows one box, the service's, and says above it what the service is.
!define MUI_COMPONENTSPAGE_TEXT_TOP "Служба tamberlined ставит часы компьютера по прибору для всех его пользователей, даже когда никто не вошёл в систему. Окно «Настройка времени» тогда следит за прибором и настраивает его через службу."
!define MUI_COMPONENTSPAGE_NODESC

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

; The service: tamberlined.exe (installed with the program) registered with the Service Control
; Manager under NT AUTHORITY\LocalService, which holds the right to set the clock, started now and at
; every boot. Its settings folder, %ProgramData%\Tamberline, is shared by every user: it inherits
; nothing from %ProgramData%, whose Users may create and change files in any folder below it; the
; service may change it, Users may only read it. A Settings.INI that is there already stays.
!define TAMBERLINE_SERVICE tamberlined
!define TAMBERLINE_EVENT_SOURCE "SYSTEM\CurrentControlSet\Services\EventLog\Application\Tamberline"

; sc.exe and net.exe answer in the console's code page; their output only goes to the details list.
!macro TamberlineExec command
  nsExec::ExecToLog `${command}`
  Pop $R8
!macroend

; Before the files are copied (a running service holds tamberlined.exe) and before it is removed.
!macro TamberlineStopService
  !insertmacro TamberlineExec '"$SYSDIR\net.exe" stop ${TAMBERLINE_SERVICE}'
  Sleep 1000  ; the process ends a moment after it reports itself stopped
!macroend

!macro TamberlineSettingsFolder
  SetShellVarContext all
  StrCpy $R7 "$APPDATA\Tamberline"
  !insertmacro TamberlineRestoreContext
  CreateDirectory "$R7"
  ; By SIDs, which every language of Windows knows: SYSTEM, Administrators, LocalService, Users.
  !insertmacro TamberlineExec '"$SYSDIR\icacls.exe" "$R7" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-19:(OI)(CI)M *S-1-5-32-545:(OI)(CI)RX'
  ; No port yet: the service waits quietly until a panel chooses one.
  IfFileExists "$R7\Settings.INI" tamberline_settings_kept
    FileOpen $R6 "$R7\Settings.INI" w
    FileWrite $R6 "[Service]$\r$\nMode=step$\r$\n"
    FileClose $R6
  tamberline_settings_kept:
!macroend

; Panels of members of the group tamberline may give the service commands; the installing user is one.
!macro TamberlineGroup
  !insertmacro TamberlineExec '"$SYSDIR\net.exe" localgroup tamberline /add /comment:"Управление службой tamberlined из окна программы"'
  ReadEnvStr $R6 USERDOMAIN
  ReadEnvStr $R7 USERNAME
  !insertmacro TamberlineExec '"$SYSDIR\net.exe" localgroup tamberline "$R6\$R7" /add'
!macroend

!macro TamberlineRegisterService
  StrCpy $R7 '"$SYSDIR\sc.exe"'
  ; The path quoted inside the command: unquoted, a path with spaces could start another program.
  StrCpy $R6 'binPath= "\"$INSTDIR\tamberlined.exe\"" obj= "NT AUTHORITY\LocalService" start= auto DisplayName= "Tamberline"'
  !insertmacro TamberlineExec '$R7 create ${TAMBERLINE_SERVICE} $R6'
  StrCmp $R8 0 tamberline_service_created
    !insertmacro TamberlineExec '$R7 config ${TAMBERLINE_SERVICE} $R6'  ; there already
  tamberline_service_created:
  ; Delayed: the clock is set once the boot's own rush is over.
  !insertmacro TamberlineExec '$R7 config ${TAMBERLINE_SERVICE} start= delayed-auto'
  !insertmacro TamberlineExec '$R7 description ${TAMBERLINE_SERVICE} "Ставит часы компьютера по GPS-прибору на COM-порту; окно «Настройка времени» подключается к ней."'
  ; Restarted after a crash or a failure (the service then ends without reporting itself stopped), not
  ; after a configuration error, which it reports as stopped with exit code 2: failure actions only
  ; for crashes (the failure flag off).
  !insertmacro TamberlineExec '$R7 failure ${TAMBERLINE_SERVICE} reset= 86400 actions= restart/5000/restart/5000/restart/60000'
  !insertmacro TamberlineExec '$R7 failureflag ${TAMBERLINE_SERVICE} 0'
  WriteRegExpandStr HKLM "${TAMBERLINE_EVENT_SOURCE}" "EventMessageFile" "$INSTDIR\tamberlined.exe"
  WriteRegDWORD HKLM "${TAMBERLINE_EVENT_SOURCE}" "TypesSupported" 7
  !insertmacro TamberlineExec '$R7 start ${TAMBERLINE_SERVICE}'
!macroend

; The installer script places this section after the program's own, whose files it needs.
!macro TamberlineServiceSection
  Section "Служба tamberlined" TamberlineService
    !insertmacro TamberlineSettingsFolder
    !insertmacro TamberlineGroup
    !insertmacro TamberlineRegisterService
  SectionEnd
!macroend

; The settings in %ProgramData%\Tamberline stay, as do the group and its members.
!macro TamberlineRemoveService
  !insertmacro TamberlineStopService
  !insertmacro TamberlineExec '"$SYSDIR\sc.exe" delete ${TAMBERLINE_SERVICE}'
  DeleteRegKey HKLM "${TAMBERLINE_EVENT_SOURCE}"
!macroend
