; Windows installer of the Tidbell mail watcher and the two libraries it
; ships with. Built by makensis from the build tree (see CMakeLists.txt);
; the build passes:
;   VERSION  the product version, e.g. 2.0.9
;   BIN_DIR  the directory that holds Tidbell32.exe, KWCTRL32.dll, Shutlet.dll
;   OUTFILE  the installer to write
;
; Silent mode (/S) asks nothing: it installs into the default directory
; (or the one given with /D=...), and the uninstaller removes everything.
; A watcher that is running is ended first, through the CloseTidbell export
; of the Shutlet.dll that is already installed, so that its files can be
; replaced or removed.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT     "Tidbell"
!define PUBLISHER   "Kestrel Apps"
!define UNINST_KEY  "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidbell"
!define WATCHER_CLASS "KWMailNotification"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PUBLISHER}\${PRODUCT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Ends a running watcher through the installed closer, then waits (at most
; five seconds) until its window has gone. The closer is loaded from $INSTDIR
; and unloaded again after the call (?u), so that it can be replaced or
; deleted afterwards. The installer and the uninstaller each get a copy.
!macro EndRunningWatcherFunction prefix
Function ${prefix}EndRunningWatcher
    IfFileExists "$INSTDIR\Shutlet.dll" 0 wait
    DetailPrint "Ending a running ${PRODUCT}..."
    System::Call '$INSTDIR\Shutlet.dll::CloseTidbell(i 0) i .r0 ?u'
wait:
    StrCpy $1 0
again:
    FindWindow $0 "${WATCHER_CLASS}"
    StrCmp $0 0 done
    IntOp $1 $1 + 1
    IntCmp $1 50 done
    Sleep 100
    Goto again
done:
FunctionEnd
!macroend
!insertmacro EndRunningWatcherFunction ""
!insertmacro EndRunningWatcherFunction "un."

; Deletes the file whose path is on the stack, retrying for up to five
; seconds while it is still in use: the watcher's process may outlive its
; window by a moment.
Function un.DeleteWithRetry
    Exch $0
    Push $1
    StrCpy $1 0
again:
    Delete "$0"
    IfFileExists "$0" 0 done
    IntOp $1 $1 + 1
    IntCmp $1 50 done
    Sleep 100
    Goto again
done:
    Pop $1
    Pop $0
FunctionEnd

!macro DeleteWithRetry path
    Push "${path}"
    Call un.DeleteWithRetry
!macroend

Section "Install"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    ; An upgrade: the old watcher must not hold its files.
    Call EndRunningWatcher
    SetOverwrite on
    File "${BIN_DIR}/Tidbell32.exe"
    File "${BIN_DIR}/KWCTRL32.dll"
    File "${BIN_DIR}/Shutlet.dll"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateShortCut "$SMSTARTUP\${PRODUCT}.lnk" "$INSTDIR\Tidbell32.exe" "" "$INSTDIR\Tidbell32.exe" 0

    WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Tidbell32.exe,0"
    WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Call un.EndRunningWatcher
    Delete "$SMSTARTUP\${PRODUCT}.lnk"
    !insertmacro DeleteWithRetry "$INSTDIR\Tidbell32.exe"
    !insertmacro DeleteWithRetry "$INSTDIR\KWCTRL32.dll"
    !insertmacro DeleteWithRetry "$INSTDIR\Shutlet.dll"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    ; The publisher's folder goes too, unless another of its programs is there.
    RMDir "$PROGRAMFILES\${PUBLISHER}"
    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
