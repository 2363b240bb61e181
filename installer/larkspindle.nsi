; Larkspindle's Windows installer, for all users or for the current user only. For all
; users: both builds of the extension under Program Files, each registered by the regsvr32
; of its own architecture. For the current user, without administrator rights: both under
; the user's local programs folder, registered under HKCU\Software\Classes by the rows
; the build made from the module's registration script. Either way an uninstaller
; recorded in Add/Remove Programs, and beside each DLL the Undo program, with a Start
; menu entry. /CurrentUser installs for the current user silently.
; On ARM64 Windows the 64-bit files are the ARM64 builds (DLLARM64, UNDOARM64), since
; Explorer there is an ARM64 program and loads only a DLL of its own architecture.
; The build passes the product's facts (PRODUCT_NAME, PUBLISHER, COPYRIGHT, UNDO_TITLE,
; SITE_URL, VERSION), CLSID, DLL64, DLL32, DLLARM64, UNDO64, UNDO32, UNDOARM64, ICON,
; OUTFILE and SETUP_ROWS:
; the folder of the registrar's rows for each kind of install and each build, as macros
; (LarkUserRegister64, LarkMachineUnregister32, ...).
Unicode true
Target amd64-unicode
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include x64.nsh

; The system's own architecture, never this program's: on ARM64 Windows this x64 setup
; program runs under emulation. Wine cannot pretend to be ARM64 Windows, so the build's
; test compiles the script a second time with PRETEND_NATIVE_MACHINE (43620, ARM64).
!ifdef PRETEND_NATIVE_MACHINE
  !define NativeIsArm64 `${PRETEND_NATIVE_MACHINE} = 43620`
!else
  !define NativeIsArm64 `${IsNativeARM64}`
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Larkspindle"
!define REGSVR32_64 "$SYSDIR\regsvr32.exe"
!define REGSVR32_32 "$WINDIR\SysWOW64\regsvr32.exe"
!define UNDO_SHORTCUT "$SMPROGRAMS\${UNDO_TITLE}.lnk"

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
!define MACHINE_FOLDER "$PROGRAMFILES64\Larkspindle"
!define USER_FOLDER "$LOCALAPPDATA\Programs\Larkspindle"
InstallDir "${MACHINE_FOLDER}"
; An administrator is asked to elevate; anyone else runs as themselves, for themselves.
RequestExecutionLevel highest
SetCompressor /SOLID lzma
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${COPYRIGHT}"

Var PerUser  ; 1 when installing, or installed, for the current user only
Var ModeAll
Var ModeMe

Page custom chooseMode chooseModeLeave
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
!macro DeleteKeyIfEmpty ROOT KEY
  EnumRegKey $1 ${ROOT} "${KEY}" 0
  EnumRegValue $2 ${ROOT} "${KEY}" 0
  ReadRegStr $3 ${ROOT} "${KEY}" ""
  ${If} $1 == ""
  ${AndIf} $2 == ""
  ${AndIf} $3 == ""
    DeleteRegKey /ifempty ${ROOT} "${KEY}"
  ${EndIf}
!macroend

; The registration rows, as the registrar makes them for each kind of install and build.
!include "${SETUP_ROWS}\user-x64.nsh"
!include "${SETUP_ROWS}\user-x86.nsh"
!include "${SETUP_ROWS}\machine-x64.nsh"
!include "${SETUP_ROWS}\machine-x86.nsh"

; Where this kind of install lives: the shell folders, Add/Remove Programs (SHCTX) and,
; unless /D= chose one, the folder.
!macro UseMode
  ${If} $PerUser == 1
    SetShellVarContext current
    ${If} $INSTDIR == "${MACHINE_FOLDER}"
      StrCpy $INSTDIR "${USER_FOLDER}"
    ${EndIf}
  ${Else}
    SetShellVarContext all
    ${If} $INSTDIR == "${USER_FOLDER}"
      StrCpy $INSTDIR "${MACHINE_FOLDER}"
    ${EndIf}
  ${EndIf}
!macroend

; Both kinds register the same class, and the shell can load only one: $0 is set to why
; the chosen kind cannot be installed beside what is there, or left empty.
Function otherKindPresent
  StrCpy $0 ""
  ${If} $PerUser == 1
    ReadRegStr $1 HKLM "Software\Classes\CLSID\${CLSID}\InprocServer32" "ThreadingModel"
    ${If} $1 != ""
      StrCpy $0 "${PRODUCT_NAME} is already installed for all users of this computer. Uninstall that copy first: the shell can use only one."
    ${EndIf}
  ${Else}
    ReadRegStr $1 HKCU "Software\Classes\CLSID\${CLSID}\InprocServer32" "ThreadingModel"
    ${If} $1 != ""
      StrCpy $0 "${PRODUCT_NAME} is already installed for you alone. Uninstall that copy first: the shell can use only one."
    ${EndIf}
  ${EndIf}
FunctionEnd

Function chooseMode
  nsDialogs::Create 1018
  Pop $1
  ${NSD_CreateLabel} 0 0 100% 24u "Who should be able to rename with ${PRODUCT_NAME}?"
  Pop $1
  ${NSD_CreateRadioButton} 10u 30u 100% 12u "&Anyone who uses this computer (needs administrator rights)"
  Pop $ModeAll
  ${NSD_CreateRadioButton} 10u 46u 100% 12u "Only &me"
  Pop $ModeMe
  ${If} $PerUser == 1
    ${NSD_Check} $ModeMe
  ${Else}
    ${NSD_Check} $ModeAll
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function chooseModeLeave
  ${NSD_GetState} $ModeMe $1
  ${If} $1 == ${BST_CHECKED}
    StrCpy $PerUser 1
  ${Else}
    StrCpy $PerUser 0
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_OK|MB_ICONEXCLAMATION "Installing for everyone needs administrator rights. Run the setup program as administrator, or install only for yourself."
      Abort
    ${EndIf}
  ${EndIf}
  !insertmacro UseMode
  Call otherKindPresent
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP "$0"
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 64
  ; For the current user when asked to, or when there are no administrator rights.
  StrCpy $PerUser 0
  UserInfo::GetAccountType
  Pop $1
  ${If} $1 != "Admin"
    StrCpy $PerUser 1
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/CurrentUser" $2
  ${IfNot} ${Errors}
    StrCpy $PerUser 1
  ${EndIf}
  !insertmacro UseMode
  ${If} ${Silent}
    Call otherKindPresent
    ${If} $0 != ""
      MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
      SetErrorLevel 4
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  ; The uninstaller serves the kind of install it was written for: the current user's
  ; when that user's Add/Remove Programs names its folder.
  StrCpy $PerUser 0
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == $INSTDIR
    StrCpy $PerUser 1
  ${EndIf}
  !insertmacro UseMode
FunctionEnd

Section "${PRODUCT_NAME}" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  ${If} ${NativeIsArm64}
    !insertmacro PutDll "${DLLARM64}" "$INSTDIR\Larkspindle.dll"
    File "/oname=$INSTDIR\LarkspindleUndo.exe" "${UNDOARM64}"
  ${Else}
    !insertmacro PutDll "${DLL64}" "$INSTDIR\Larkspindle.dll"
    File "/oname=$INSTDIR\LarkspindleUndo.exe" "${UNDO64}"
  ${EndIf}
  CreateDirectory "$INSTDIR\x86"
  !insertmacro PutDll "${DLL32}" "$INSTDIR\x86\Larkspindle.dll"
  File "/oname=$INSTDIR\x86\LarkspindleUndo.exe" "${UNDO32}"
  CreateShortcut "${UNDO_SHORTCUT}" "$INSTDIR\LarkspindleUndo.exe" "" "$INSTDIR\LarkspindleUndo.exe" 0
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; Recorded before registering, so that a failed registration can still be undone
  ; from Add/Remove Programs.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "${SITE_URL}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" 2048

  ${If} $PerUser == 1
    ; No regsvr32 here: DllRegisterServer writes for every user, which needs rights
    ; this user need not have.
    !insertmacro LarkUserRegister64
    !insertmacro LarkUserRegister32
    SetRegView 64
    Goto registered
  ${EndIf}
  ClearErrors
  ExecWait '"${REGSVR32_64}" /s "$INSTDIR\Larkspindle.dll"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    DetailPrint "regsvr32 could not register $INSTDIR\Larkspindle.dll (exit code $0)."
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT_NAME} could not be registered with the shell.$\r$\n$\r$\nThe files are installed; uninstall ${PRODUCT_NAME} from Add/Remove Programs to remove them." /SD IDOK
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

registered:
  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "An earlier ${PRODUCT_NAME} was in use; restart Windows to finish removing it." /SD IDOK
  ${EndIf}
SectionEnd

Section "Uninstall"
  ${If} $PerUser == 1
    !insertmacro LarkUserUnregister64
    !insertmacro LarkUserUnregister32
    SetRegView 64
    Goto files
  ${EndIf}
  ClearErrors
  ExecWait '"${REGSVR32_64}" /u /s "$INSTDIR\Larkspindle.dll"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    DetailPrint "regsvr32 /u failed (exit code $0); removing the registration directly."
  ${EndIf}
  ${If} ${FileExists} "${REGSVR32_32}"
    ${If} ${FileExists} "$INSTDIR\x86\Larkspindle.dll"
      ExecWait '"${REGSVR32_32}" /u /s "$INSTDIR\x86\Larkspindle.dll"' $0
    ${EndIf}
    !insertmacro LarkMachineUnregister32
  ${EndIf}
  ; Then the registrar's rows go, with the keys they leave empty: all of them when a DLL
  ; is gone or broken and could not unregister itself, so that no handler is left
  ; pointing at a missing file; and otherwise the shared keys, which its script never
  ; removes. Last, as the 32-bit view shares the handler keys.
  !insertmacro LarkMachineUnregister64
  SetRegView 64

files:

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
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT_NAME} is in use; restart Windows to finish removing its files." /SD IDOK
  ${EndIf}
SectionEnd
