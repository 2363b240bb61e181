; Larkspindle's Windows installer: both builds of the extension under Program Files,
; each registered by the regsvr32 of its own architecture, and an uninstaller recorded in
; Add/Remove Programs; beside each DLL the Undo program, with a Start menu entry. The build
; passes VERSION, CLSID, DLL64, DLL32, UNDO64, UNDO32, ICON, SITE_URL and OUTFILE.
Unicode true
Target amd64-unicode
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Larkspindle"
!define REGSVR32_64 "$SYSDIR\regsvr32.exe"
!define REGSVR32_32 "$WINDIR\SysWOW64\regsvr32.exe"
!define UNDO_SHORTCUT "$SMPROGRAMS\Undo a Larkspindle rename.lnk"

Name "Larkspindle"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Larkspindle"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "Larkspindle"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Larkspindle Setup"
VIAddVersionKey /LANG=0 "CompanyName" "Larkspindle"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2026 Larkspindle"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Explorer keeps a shell extension loaded for a while after a Properties sheet closes,
; and Windows will not overwrite a loaded DLL but will rename it. So an earlier copy
; that cannot be deleted is moved aside and removed at the next restart.
!macro PutDll SOURCE TARGET
  Delete "${TARGET}"
  ${If} ${FileExists} "${TARGET}"
    Delete "${TARGET}.old"
    Rename "${TARGET}" "${TARGET}.old"
    Delete /REBOOTOK "${TARGET}.old"
  ${EndIf}
  File "/oname=${TARGET}" "${SOURCE}"
!macroend

; Registration creates the shared handler keys when a system lacks them and, as they are
; shared, never removes them. Once nothing else lives there they carry no meaning, so
; the uninstaller removes a key that holds neither values nor subkeys, and nothing else.
!macro DeleteKeyIfEmpty KEY
  EnumRegKey $1 HKCR "${KEY}" 0
  EnumRegValue $2 HKCR "${KEY}" 0
  ReadRegStr $3 HKCR "${KEY}" ""
  ${If} $1 == ""
  ${AndIf} $2 == ""
  ${AndIf} $3 == ""
    DeleteRegKey /ifempty HKCR "${KEY}"
  ${EndIf}
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Larkspindle" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  !insertmacro PutDll "${DLL64}" "$INSTDIR\Larkspindle.dll"
  CreateDirectory "$INSTDIR\x86"
  !insertmacro PutDll "${DLL32}" "$INSTDIR\x86\Larkspindle.dll"
  File "/oname=$INSTDIR\LarkspindleUndo.exe" "${UNDO64}"
  File "/oname=$INSTDIR\x86\LarkspindleUndo.exe" "${UNDO32}"
  CreateShortcut "${UNDO_SHORTCUT}" "$INSTDIR\LarkspindleUndo.exe" "" "$INSTDIR\LarkspindleUndo.exe" 0
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; Recorded before registering, so that a failed registration can still be undone
  ; from Add/Remove Programs.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Larkspindle"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Larkspindle"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${SITE_URL}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" 2048

  ClearErrors
  ExecWait '"${REGSVR32_64}" /s "$INSTDIR\Larkspindle.dll"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    DetailPrint "regsvr32 could not register $INSTDIR\Larkspindle.dll (exit code $0)."
    MessageBox MB_OK|MB_ICONSTOP "Larkspindle could not be registered with the shell.$\r$\n$\r$\nThe files are installed; uninstall Larkspindle from Add/Remove Programs to remove them." /SD IDOK
    SetErrorLevel 3
    Abort
  ${EndIf}

  ; 32-bit programs' file dialogs load the 32-bit build. A system without the 32-bit
  ; subsystem has no SysWOW64 regsvr32 and no use for it.
  ${If} ${FileExists} "${REGSVR32_32}"
    ClearErrors
    ExecWait '"${REGSVR32_32}" /s "$INSTDIR\x86\Larkspindle.dll"' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
      DetailPrint "The 32-bit build was not registered (exit code $0); 64-bit Explorer is not affected."
    ${EndIf}
  ${EndIf}

  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "An earlier Larkspindle was in use; restart Windows to finish removing it." /SD IDOK
  ${EndIf}
SectionEnd

Section "Uninstall"
  ClearErrors
  ExecWait '"${REGSVR32_64}" /u /s "$INSTDIR\Larkspindle.dll"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    ; The DLL is gone or broken and cannot unregister itself: remove what its
    ; registration script adds, so no handler is left pointing at a missing file.
    DetailPrint "regsvr32 /u failed (exit code $0); removing the registration directly."
    DeleteRegKey HKCR "*\shellex\PropertySheetHandlers\Larkspindle"
    DeleteRegKey HKCR "Directory\shellex\PropertySheetHandlers\Larkspindle"
    DeleteRegKey HKCR "CLSID\${CLSID}"
    DeleteRegValue HKLM "Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved" "${CLSID}"
  ${EndIf}
  ${If} ${FileExists} "${REGSVR32_32}"
  ${AndIf} ${FileExists} "$INSTDIR\x86\Larkspindle.dll"
    ExecWait '"${REGSVR32_32}" /u /s "$INSTDIR\x86\Larkspindle.dll"' $0
  ${EndIf}
  !insertmacro DeleteKeyIfEmpty "*\shellex\PropertySheetHandlers"
  !insertmacro DeleteKeyIfEmpty "*\shellex"
  !insertmacro DeleteKeyIfEmpty "Directory\shellex\PropertySheetHandlers"
  !insertmacro DeleteKeyIfEmpty "Directory\shellex"
  !insertmacro DeleteKeyIfEmpty "Directory"

  Delete /REBOOTOK "$INSTDIR\Larkspindle.dll"
  Delete /REBOOTOK "$INSTDIR\Larkspindle.dll.old"
  Delete /REBOOTOK "$INSTDIR\x86\Larkspindle.dll"
  Delete /REBOOTOK "$INSTDIR\x86\Larkspindle.dll.old"
  ; The journal in the user's local application data is the user's own, and stays.
  Delete "${UNDO_SHORTCUT}"
  Delete /REBOOTOK "$INSTDIR\LarkspindleUndo.exe"
  Delete /REBOOTOK "$INSTDIR\x86\LarkspindleUndo.exe"
  Delete "$INSTDIR\Uninstall.exe"
  ; Never RMDir /r: files the user put in the folder stay, and so does the folder.
  RMDir "$INSTDIR\x86"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "Larkspindle is in use; restart Windows to finish removing its files." /SD IDOK
  ${EndIf}
SectionEnd
