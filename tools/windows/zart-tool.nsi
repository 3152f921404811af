; The Windows installer of the ЗАРТ service tool, in Russian: installs into
; "Program Files\ЗАРТ", adds a Start-menu entry and registers its
; uninstaller with Windows ("Приложения и возможности"). "/S" installs and
; uninstalls silently. Made by tools/build-windows with Debian's makensis:
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.1 -DFILES=files.nsh -DICON=zart-tool.ico
;            -DSIZE_KB=60000 -DOUTFILE=zart-tool-windows-x64-setup.exe zart-tool.nsi
; FILES is generated from the folder to install: it defines the macros
; InstallFiles (SetOutPath and File for each file) and UninstallFiles
; (Delete for each file, RMDir for each folder, deepest first), so the
; uninstaller removes exactly what was installed, zart-cli.exe included
; when the build made it.
Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

!define NAME "ЗАРТ. Тест протокола Modbus"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\zart-tool"
!define SHORTCUT "$SMPROGRAMS\${NAME}.lnk"

Name "${NAME}"
Caption "Установка: ${NAME} ${VERSION}"
UninstallCaption "Удаление: ${NAME}"
BrandingText "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\ЗАРТ"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The program's name makes the greeting three lines long.
!define MUI_WELCOMEPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_TITLE_3LINES
; No "run the program" box on the last page: it would start the program
; with the installer's administrator rights, able to write beside itself.

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

!include "${FILES}"

Section
  ; For every user of the laptop: the settings go into each user's own
  ; folder, since a user cannot write into "Program Files".
  SetShellVarContext all
  !insertmacro InstallFiles
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\zart-tool.exe" "" "$INSTDIR\zart-tool.exe" 0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zart-tool.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  !insertmacro UninstallFiles
  ; A тп.ini beside the program is the program's own: one an administrator
  ; put there, or one written while the program ran with the right to. The
  ; users' own settings stay in their folders.
  Delete "$INSTDIR\тп.ini"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
