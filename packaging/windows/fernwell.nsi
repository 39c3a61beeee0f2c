; The Windows installer of the Fernwell Setup Tool, made with NSIS (makensis) by the Windows
; build: puts fernwell.exe and fernwell-cli.exe into Program Files, a Start menu entry, and an
; uninstaller registered under Add/Remove Programs. /S installs (and uninstalls) silently.
; The user's settings (HKEY_CURRENT_USER\Software\Fernwell) stay on uninstall, as they do when
; the Linux package is removed.
;
; Defined by the build: VERSION (3.0), BINDIR (the folder of the two programs), ICON, OUTFILE.

; A 64-bit installer for 64-bit programs (Debian's Wine runs no 32-bit programs either).
Target amd64-unicode

!define PRODUCT "Fernwell Setup Tool"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Fernwell"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\Fernwell"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Fernwell"
VIAddVersionKey "LegalCopyright" "Fernwell"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetOutPath "$INSTDIR"
    File "${BINDIR}/fernwell.exe"
    File "${BINDIR}/fernwell-cli.exe"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    SetShellVarContext all
    CreateDirectory "$SMPROGRAMS\Fernwell"
    CreateShortcut "$SMPROGRAMS\Fernwell\${PRODUCT}.lnk" "$INSTDIR\fernwell.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Fernwell"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\fernwell.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Delete "$INSTDIR\fernwell.exe"
    Delete "$INSTDIR\fernwell-cli.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    SetShellVarContext all
    Delete "$SMPROGRAMS\Fernwell\${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\Fernwell"

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
