; The per-user Windows setup: no administrator rights, the programs in the user's own programs
; folder, Start-menu entries that share one working folder, an entry in Apps / Programs and
; Features. Built by make-installer.sh, which defines VERSION, GENERATED (the lists of the
; staged files and the licence page), ESTIMATED_KB, REPO and OUTFILE.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "Tallivo"
!define PUBLISHER "The Tallivo developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallivo"
!define UNINSTALLER "uninstall.exe"
; Where both Start-menu entries start: what the wizard saves there is what polling reads. In
; the user's profile, not in Documents: Controlled folder access refuses unknown programs there,
; and OneDrive moves Documents when its backup is turned on, leaving the shortcuts nowhere.
!define WORK_FOLDER "$PROFILE\Tallivo"
; Earlier versions worked in this one; an upgrade keeps it, with the user's configuration.
!define OLD_WORK_FOLDER "$DOCUMENTS\Tallivo"
Var WorkFolder

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tallivo"
; An upgrade goes where the earlier version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"

!include "MUI2.nsh"

!define MUI_ICON "${REPO}/wizard/resources/wizard.ico"
!define MUI_UNICON "${REPO}/wizard/resources/wizard.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION} for you alone; it needs no administrator rights.$\r$\n$\r$\nTallivo Wizard chooses the layout of the output file once; Tallivo Polling converts each delivery of the handheld terminal into that file.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
; MIT grants rights and asks for no agreement: the page informs, Next goes on.
!define MUI_PAGE_HEADER_TEXT "Licence"
!define MUI_PAGE_HEADER_SUBTEXT "Tallivo is free software under the MIT licence."
!define MUI_LICENSEPAGE_TEXT_TOP "Tallivo's licence, then the notices of the third-party code installed with it."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "The texts named here are installed with the programs, in the folder licenses."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${GENERATED}/license-page.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Tallivo Wizard"
!define MUI_FINISHPAGE_RUN_FUNCTION StartWizard
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetShellVarContext current
  ReadRegStr $WorkFolder HKCU "${UNINSTALL_KEY}" "WorkFolder"
  StrCmp $WorkFolder "" 0 chosen
    StrCpy $WorkFolder "${WORK_FOLDER}"
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
    StrCmp $0 "" chosen
    IfFileExists "${OLD_WORK_FOLDER}\*.*" 0 chosen
      StrCpy $WorkFolder "${OLD_WORK_FOLDER}"
  chosen:
FunctionEnd

Function un.onInit
  SetShellVarContext current
  ReadRegStr $WorkFolder HKCU "${UNINSTALL_KEY}" "WorkFolder"
  StrCmp $WorkFolder "" 0 +2
    StrCpy $WorkFolder "${OLD_WORK_FOLDER}"
FunctionEnd

Function StartWizard
  ; Exec starts the program in the output path: the same folder as the shortcuts.
  SetOutPath "$WorkFolder"
  Exec '"$INSTDIR\wizard.exe"'
FunctionEnd

Section "Tallivo"
  ; An earlier version in this folder removes its own files first (the user's stay), so that
  ; nothing it shipped and this one does not is left behind.
  IfFileExists "$INSTDIR\${UNINSTALLER}" 0 fresh
    ExecWait '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
  fresh:

  !include "${GENERATED}/install-files.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateDirectory "$SMPROGRAMS\Tallivo"
  ; A shortcut's "Start in" is the output path at the time it is made.
  SetOutPath "$WorkFolder"
  CreateShortCut "$SMPROGRAMS\Tallivo\Tallivo Wizard.lnk" "$INSTDIR\wizard.exe" "" "$INSTDIR\wizard.exe" 0 \
    SW_SHOWNORMAL "" "Choose the layout of the output file"
  CreateShortCut "$SMPROGRAMS\Tallivo\Tallivo Polling.lnk" "$INSTDIR\polling.exe" "" "$INSTDIR\polling.exe" 0 \
    SW_SHOWNORMAL "" "Convert the terminal's data into the output file"
  CreateShortCut "$SMPROGRAMS\Tallivo\Tallivo Folder.lnk" "$WorkFolder" "" "" 0 SW_SHOWNORMAL "" \
    "The folder where the wizard and polling keep orvwizard.cfg"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\wizard.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "WorkFolder" "$WorkFolder"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${ESTIMATED_KB}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the setup put there, by name: the installation folder may hold the user's own
; orvwizard.cfg, orvwizard.opt and output files, and those stay, as does a non-empty folder.
Section "Uninstall"
  !include "${GENERATED}/uninstall-files.nsh"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\Tallivo\Tallivo Wizard.lnk"
  Delete "$SMPROGRAMS\Tallivo\Tallivo Polling.lnk"
  Delete "$SMPROGRAMS\Tallivo\Tallivo Folder.lnk"
  RMDir "$SMPROGRAMS\Tallivo"
  RMDir "$WorkFolder"

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
