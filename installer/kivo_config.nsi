; The installer of kivo_config: per user (no administrator rights), into the
; user's program folder, with a Start-menu shortcut, an optional desktop
; shortcut and an entry in "Add or remove programs". /S installs silently.
; The uninstaller asks a running kivo_config to close (so that it saves its
; settings), removes the program's files, shortcuts and start-up entry, and
; asks whether to remove the settings (a silent uninstall keeps them unless
; /REMOVESETTINGS is given).
;
; makensis -DVERSION=x.y.z -DEXE=<path of kivo_config.exe> -DOUTFILE=<setup.exe>

Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "LogicLib.nsh"

!define NAME "kivo_config"
!define PRODUCT "Kivo-Config For Windows"
!define PUBLISHER "Kivo Project"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\kivo_config"
!define SETTINGS_KEY "Software\Kivo_Project\Ve_Dizo\Kivo_Shutdown"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2002-2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

; Asks a running kivo_config to close through its application window (which
; runs its close sequence, saving the settings) and waits up to 10 s.
!macro CloseRunningProgram un
Function ${un}CloseRunningProgram
  StrCpy $1 0
  loop:
    FindWindow $0 "KivoApplication" ""
    ${If} $0 = 0
      Return
    ${EndIf}
    ${If} $1 = 0
      SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${EndIf}
    Sleep 100
    IntOp $1 $1 + 1
    ${If} $1 < 100
      Goto loop
    ${EndIf}
FunctionEnd
!macroend
!insertmacro CloseRunningProgram ""
!insertmacro CloseRunningProgram "un."

Section "kivo_config" SecMain
  SectionIn RO
  Call CloseRunningProgram
  SetOutPath "$INSTDIR"
  File "/oname=kivo_config.exe" "${EXE}"
  File "/oname=THIRD-PARTY-NOTICES.txt" "${NOTICES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\kivo_config.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kivo_config.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Desktop shortcut" SecDesktop
  CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\kivo_config.exe"
SectionEnd

; Blanks off one end of a text.
!macro TrimMacro name dir
Function ${name}
  Exch $R0
  Push $R1
  loop:
    !if ${dir} == left
      StrCpy $R1 $R0 1
    !else
      StrCpy $R1 $R0 1 -1
    !endif
    StrCmp $R1 " " 0 done
    !if ${dir} == left
      StrCpy $R0 $R0 "" 1
    !else
      StrCpy $R0 $R0 -1
    !endif
    Goto loop
  done:
  Pop $R1
  Exch $R0
FunctionEnd
!macroend
!insertmacro TrimMacro un.TrimLeftFn left
!insertmacro TrimMacro un.TrimRightFn right
!define TrimLeft '!insertmacro CallTrim un.TrimLeftFn'
!define TrimRight '!insertmacro CallTrim un.TrimRightFn'
!macro CallTrim fn in out
  Push `${in}`
  Call ${fn}
  Pop ${out}
!macroend

; Removes the program's own path from win.ini's start-up list, quoted or as
; the profile reader returns it unquoted; every other entry stays as it is.
; "win.ini" without a folder: the system then maps it to the registry where
; it does so (NT, Wine), as the program's own profile calls do.
Function un.RemoveStartupEntry
  ; The folder as installed (the uninstaller may run from another spelling
  ; of it), and as this uninstaller sees it.
  ReadRegStr $2 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ; Vista and later: the user's Run value the program writes there, only
  ; while it names this program (another program may have taken the name;
  ; the comparison ignores case, as Windows does).
  ReadRegStr $3 HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "kivo_config"
  ${If} $3 == '"$INSTDIR\kivo_config.exe"'
  ${OrIf} $3 == "$INSTDIR\kivo_config.exe"
  ${OrIf} $3 == '"$2\kivo_config.exe"'
  ${OrIf} $3 == "$2\kivo_config.exe"
    DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "kivo_config"
  ${EndIf}
  ReadINIStr $0 "win.ini" "windows" "run"
  StrCpy $1 $0
  ${If} $2 != ""
    ${WordReplace} $1 '"$2\kivo_config.exe"' "" "+" $1
    ${WordReplace} $1 "$2\kivo_config.exe" "" "+" $1
  ${EndIf}
  ${WordReplace} $1 '"$INSTDIR\kivo_config.exe"' "" "+" $1
  ${WordReplace} $1 "$INSTDIR\kivo_config.exe" "" "+" $1
  ${WordReplace} $1 "  " " " "+*" $1
  ; No blank left at either end by the removal.
  ${TrimLeft} $1 $1
  ${TrimRight} $1 $1
  ${If} $1 != $0
    WriteINIStr "win.ini" "windows" "run" $1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningProgram
  Call un.RemoveStartupEntry
  ; The browser engine the program asked for by its name (Vista and later).
  DeleteRegValue HKCU "Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION" "kivo_config.exe"
  Delete "$INSTDIR\kivo_config.exe"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    StrCpy $2 "yes"
  ${Else}
    StrCpy $2 "no"
    MessageBox MB_YESNO|MB_ICONQUESTION "設定（レジストリ）も削除しますか？$\r$\nRemove the settings too?" /SD IDNO IDNO keep
    StrCpy $2 "yes"
    keep:
  ${EndIf}
  ${If} $2 == "yes"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Kivo_Project\Ve_Dizo"
    DeleteRegKey /ifempty HKCU "Software\Kivo_Project"
  ${EndIf}
SectionEnd
