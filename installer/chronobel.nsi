; The Chronobel setup program, made by tools/release.sh:
;   makensis -DSTAGE=DIR -DVERSION_NSH=FILE -DOUTFILE=FILE chronobel.nsi
; STAGE holds the release's Chronobel.exe, ReadMe.htm and LICENSE.txt;
; VERSION_NSH is the build's generated/version.nsh.
;
; Silent use, for deployment:
;   setup.exe /S [/AUTOSTART=0|1] [/SERVICE=0|1] [/D=C:\path]
;     defaults: start at log-on 1, service 0
;   uninstall.exe /S [/PURGE=1]
;     1: the settings, server list, texts and log go too
; Exit code 0, or 2 when the program could not install or remove its service.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "${VERSION_NSH}"
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WordFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Chronobel"
; The value the program itself writes for its "On Windows start" setting.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Chronobel.exe"
; The event log source "Chronobel", whose messages are in the program.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Chronobel"

Name "Chronobel"
OutFile "${OUTFILE}"
; A 32-bit program: under "Program Files (x86)" on 64-bit Windows, and its
; registry entries in the 32-bit view, as this 32-bit setup sees them.
InstallDir "$PROGRAMFILES32\Chronobel"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Chronobel ${VERSION}"

!define MUI_ICON "../resources/chronobel.ico"
!define MUI_UNICON "../resources/chronobel.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Chronobel.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.htm"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey ProductName "Chronobel"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "Chronobel ${VERSION} Setup"
VIAddVersionKey CompanyName "Orvane"
VIAddVersionKey LegalCopyright "${COPYRIGHT}"

; Runs the installed program with a switch; a failure is shown (not in
; silent mode) and becomes the setup's exit code 2.
!macro run_program_switch SWITCH WHAT
  ClearErrors
  ExecWait '"$INSTDIR\Chronobel.exe" ${SWITCH}' $0
  ${If} ${Errors}
  ${OrIf} $0 <> 0
    DetailPrint "Chronobel.exe ${SWITCH} failed (exit code $0)"
    MessageBox MB_ICONEXCLAMATION|MB_OK "Chronobel could not ${WHAT} its service (exit code $0)." /SD IDOK
    SetErrorLevel 2
  ${EndIf}
!macroend

; The service runs the installed program as SYSTEM: whatever folder was
; chosen gets the rights of Program Files before anything goes in (SYSTEM and
; Administrators change it, users read and run it, nothing inherited), so
; that no standard user can replace the program, and its own /i accepts it.
!define PROGRAM_FOLDER_DESCRIPTOR "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
!define OWNER_AND_ACCESS_LIST 5
!macro secure_program_folder
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${PROGRAM_FOLDER_DESCRIPTOR}", i 1, *p .r1, p 0) i .r0'
  ${If} $0 <> 0
    System::Call 'advapi32::SetFileSecurityW(w "$INSTDIR", i ${OWNER_AND_ACCESS_LIST}, p r1) i .r0'
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
  ${If} $0 = 0
    DetailPrint "The rights of $INSTDIR could not be set"
  ${EndIf}
!macroend

Section "Chronobel" sec_program
  SectionIn RO
  SetOutPath "$INSTDIR"
  !insertmacro secure_program_folder
  ; The service of an earlier copy holds its program file open: that copy
  ; removes it first, and the service choice below installs it again.
  ${If} ${FileExists} "$INSTDIR\Chronobel.exe"
    !insertmacro run_program_switch "/z" "remove"
  ${EndIf}
  File "${STAGE}/Chronobel.exe"
  File "${STAGE}/ReadMe.htm"
  File "${STAGE}/LICENSE.txt"
  ; Keeps the settings and the log in each user's application-data folder,
  ; which, unlike Program Files, users may write.
  File "DefSet.txt"
  ; The Group Policy templates, for administrators to copy into their policy store.
  SetOutPath "$INSTDIR\policies"
  File "${STAGE}/policies/Chronobel.admx"
  SetOutPath "$INSTDIR\policies\en-US"
  File "${STAGE}/policies/en-US/Chronobel.adml"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\Chronobel.lnk" "$INSTDIR\Chronobel.exe" "" "$INSTDIR\Chronobel.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Chronobel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Chronobel.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  ; After the earlier copy's /z, which removes it. Information, warning and
  ; error entries.
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\Chronobel.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
SectionEnd

Section "Start at log-on" sec_autostart
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Chronobel.exe"'
SectionEnd

Section /o "Windows service" sec_service
  DetailPrint "Installing and starting the Chronobel service"
  !insertmacro run_program_switch "/i" "install"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${sec_program} "The program, its help and its licence."
  !insertmacro MUI_DESCRIPTION_TEXT ${sec_autostart} "Start Chronobel when you log on."
  !insertmacro MUI_DESCRIPTION_TEXT ${sec_service} \
    "Keep the clock right and serve the time while nobody is logged on."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; /NAME=1 selects a section, /NAME=0 clears it; without the option the
; section keeps its default.
!macro section_from_option OPTION SECTION
  ClearErrors
  ${GetOptions} $R0 "${OPTION}" $R1
  ${IfNot} ${Errors}
    ${If} $R1 == 1
      !insertmacro SelectSection ${SECTION}
    ${Else}
      !insertmacro UnselectSection ${SECTION}
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  ${GetParameters} $R0
  !insertmacro section_from_option "/AUTOSTART=" ${sec_autostart}
  !insertmacro section_from_option "/SERVICE=" ${sec_service}
FunctionEnd

; The program's data files, kept on uninstall unless the user asks.
!macro for_each_data_file MACRO DIR
  !insertmacro ${MACRO} "${DIR}" "dSync.dat"
  !insertmacro ${MACRO} "${DIR}" "dExtra.txt"
  !insertmacro ${MACRO} "${DIR}" "dLog.txt"
  !insertmacro ${MACRO} "${DIR}" "dLog.old"
  !insertmacro ${MACRO} "${DIR}" "ServFile.txt"
  !insertmacro ${MACRO} "${DIR}" "Strings.txt"
!macroend

; The program writes its default server list and texts when it starts, even
; for /z: what only the uninstaller's own run of it wrote goes again. The
; list holds those paths, each followed by "|".
Var un_written
Var un_orvane_dir
Var un_data_dir
!macro un_note_missing DIR NAME
  ${IfNot} ${FileExists} "${DIR}\${NAME}"
    StrCpy $un_written "$un_written${DIR}\${NAME}|"
  ${EndIf}
!macroend
!macro un_delete DIR NAME
  Delete "${DIR}\${NAME}"
!macroend

Function un.delete_written
  StrCpy $2 1
  ${Do}
    ${WordFind} $un_written "|" "E+$2" $1
    ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
    Delete $1
    IntOp $2 $2 + 1
  ${Loop}
FunctionEnd

Section "un.Chronobel" sec_un_program
  SectionIn RO
  ; The data folder of the user, as the program finds it beside DefSet.txt.
  SetShellVarContext current
  StrCpy $un_orvane_dir "$APPDATA\Orvane"
  StrCpy $un_data_dir "$un_orvane_dir\Chronobel"
  StrCpy $un_written ""
  !insertmacro for_each_data_file un_note_missing "$INSTDIR"
  !insertmacro for_each_data_file un_note_missing "$un_data_dir"
  ; The program stops and removes its own service.
  ${If} ${FileExists} "$INSTDIR\Chronobel.exe"
    !insertmacro run_program_switch "/z" "remove"
  ${EndIf}
  Call un.delete_written

  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Chronobel.lnk"
  Delete "$INSTDIR\Chronobel.exe"
  Delete "$INSTDIR\ReadMe.htm"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\DefSet.txt"
  Delete "$INSTDIR\policies\en-US\Chronobel.adml"
  Delete "$INSTDIR\policies\Chronobel.admx"
  RMDir "$INSTDIR\policies\en-US"
  RMDir "$INSTDIR\policies"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The program's /z removes it too; this is for a program file already gone.
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
SectionEnd

Section /o "un.Settings and log" sec_un_data
  !insertmacro for_each_data_file un_delete "$INSTDIR"
  !insertmacro for_each_data_file un_delete "$un_data_dir"
  ; The copy of the settings that the program keeps for the service.
  ReadRegStr $0 HKU ".DEFAULT\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders" "AppData"
  ${If} $0 != ""
    !insertmacro for_each_data_file un_delete "$0\Orvane\Chronobel"
    RMDir "$0\Orvane\Chronobel"
    RMDir "$0\Orvane"
  ${EndIf}
SectionEnd

; Folders go only when nothing is left in them: the user's files keep theirs.
Section "-un.folders"
  RMDir "$un_data_dir"
  RMDir "$un_orvane_dir"
  RMDir "$INSTDIR"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${sec_un_program} "The program, its shortcut, its service and its start at log-on."
  !insertmacro MUI_DESCRIPTION_TEXT ${sec_un_data} \
    "Your settings, server list, texts and log too. Without this they stay for a later install."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Function un.onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE=" $R1
  ${If} $R1 == 1
    !insertmacro SelectSection ${sec_un_data}
  ${EndIf}
FunctionEnd
