# SPDX-License-Identifier: GPL-3.0-or-later
# Vandrel's installer for Windows, made by the Windows build (package/win/CMakeLists.txt):
#     makensis -DVERSION=1.0 -DVERSION4=1.0.0.0 -DSTAGE=<folder> -DICON=<vandrel.ico> -DOUTFILE=<setup.exe> vandrel.nsi
# STAGE holds what is installed, laid out as it is installed: CadrelleController.exe,
# firmware\, docs\, COPYING.txt and the Arduino folder arduino-0012X\, which holds avrdude.exe
# and avrdude.conf where the Test window looks for them, and avrdude's licence and source.
# The program's default Arduino folder is that one, beside it: users only read it, so it lives
# in Program Files with the program, and an update or the uninstaller replaces or removes it
# with the program.
#
# For every user of the machine, into Program Files; "VandrelSetup-<version>.exe /S" installs
# silently and "Uninstall.exe /S" removes it silently. The uninstaller removes what this
# installed and nothing else: each user's settings (HKCU\Software\Vandrel) and working folder
# (%LOCALAPPDATA%\Vandrel, with the upload log and the firmware copied there) stay.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Vandrel"
!define PROGRAM "CadrelleController.exe"
# The default Arduino folder (settings/Settings.cpp) and avrdude's source tarball in it.
!define ARDUINO "arduino-0012X"
!define AVRDUDE_SOURCE "avrdude_7.1+dfsg.orig.tar.xz"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
# A reinstall goes where the last one went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 The Vandrel developers, GPL-3.0-or-later"

!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${STAGE}/COPYING.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

# The Start-menu entry is every user's, as the program is.
Function .onInit
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

Section "Vandrel"
    SetOutPath "$INSTDIR"
    File "${STAGE}/${PROGRAM}"
    File "${STAGE}/COPYING.txt"
    SetOutPath "$INSTDIR\firmware"
    File "${STAGE}/firmware/Blink.hex"
    File "${STAGE}/firmware/Cadrelle.hex"
    SetOutPath "$INSTDIR\docs"
    File "${STAGE}/docs/board-setup.md"
    File "${STAGE}/docs/security.md"
    SetOutPath "$INSTDIR\${ARDUINO}"
    File "${STAGE}/${ARDUINO}/avrdude-README.txt"
    File "${STAGE}/${ARDUINO}/avrdude-COPYING.txt"
    File "${STAGE}/${ARDUINO}/${AVRDUDE_SOURCE}"
    SetOutPath "$INSTDIR\${ARDUINO}\hardware\tools\avr\bin"
    File "${STAGE}/${ARDUINO}/hardware/tools/avr/bin/avrdude.exe"
    SetOutPath "$INSTDIR\${ARDUINO}\hardware\tools\avr\etc"
    File "${STAGE}/${ARDUINO}/hardware/tools/avr/etc/avrdude.conf"

    # The shortcut starts the program in its own folder.
    SetOutPath "$INSTDIR"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0

    WriteUninstaller "$INSTDIR\Uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Vandrel developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

# File by file, so that nothing else a user put into the folder goes with it;
# the folders go only when they are empty.
Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\${PROGRAM}"
    Delete "$INSTDIR\COPYING.txt"
    Delete "$INSTDIR\firmware\Blink.hex"
    Delete "$INSTDIR\firmware\Cadrelle.hex"
    RMDir "$INSTDIR\firmware"
    Delete "$INSTDIR\docs\board-setup.md"
    Delete "$INSTDIR\docs\security.md"
    RMDir "$INSTDIR\docs"
    Delete "$INSTDIR\${ARDUINO}\hardware\tools\avr\bin\avrdude.exe"
    Delete "$INSTDIR\${ARDUINO}\hardware\tools\avr\etc\avrdude.conf"
    RMDir "$INSTDIR\${ARDUINO}\hardware\tools\avr\bin"
    RMDir "$INSTDIR\${ARDUINO}\hardware\tools\avr\etc"
    RMDir "$INSTDIR\${ARDUINO}\hardware\tools\avr"
    RMDir "$INSTDIR\${ARDUINO}\hardware\tools"
    RMDir "$INSTDIR\${ARDUINO}\hardware"
    Delete "$INSTDIR\${ARDUINO}\avrdude-README.txt"
    Delete "$INSTDIR\${ARDUINO}\avrdude-COPYING.txt"
    Delete "$INSTDIR\${ARDUINO}\${AVRDUDE_SOURCE}"
    RMDir "$INSTDIR\${ARDUINO}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
