; Calls qvnsis.dll as $EXEDIR\calls.txt says (three lines a call: function,
; first and second argument) and writes to answers.txt, for each call, the
; error flag, "1" when the stack holds what it held but the answer, the
; answer and a NUL (UTF-16LE in Unicode installers). check_nsis.py builds it:
;   makensis -DTARGET=FLAVOUR -DPLUGINS=DIR -DOUTFILE=EXE calls.nsi
Target ${TARGET}
!addplugindir /${TARGET} "${PLUGINS}"
OutFile "${OUTFILE}"
SilentInstall silent
RequestExecutionLevel user
!ifdef NSIS_UNICODE
  !define Read FileReadUTF16LE
  !define Write FileWriteUTF16LE
  !define WriteZero FileWriteWord
!else
  !define Read FileRead
  !define Write FileWrite
  !define WriteZero FileWriteByte
!endif

!macro ReadLine var
  ${Read} $R0 ${var}
  StrCpy $R1 ${var} 1 -1
  StrCmp $R1 "$\n" 0 +2
  StrCpy ${var} ${var} -1
  StrCpy $R1 ${var} 1 -1
  StrCmp $R1 "$\r" 0 +2
  StrCpy ${var} ${var} -1
!macroend

Section
  FileOpen $R0 "$EXEDIR\calls.txt" r
  FileOpen $R2 "$EXEDIR\answers.txt" w
  next:
    ClearErrors
    !insertmacro ReadLine $0
    IfErrors end
    !insertmacro ReadLine $1
    !insertmacro ReadLine $2
    Push "below"
    ; The flag starts set on every other call: each call must set or clear it.
    IntOp $R9 $R9 ^ 1
    ClearErrors
    IntCmp $R9 0 +2
    SetErrors
    ; Labels: a plug-in call is several instructions for a relative jump.
    StrCmp $0 GetFileVersion GetFileVersion
    StrCmp $0 GetFileVersionEx GetFileVersionEx
    StrCmp $0 CompareVersions CompareVersions
    StrCmp $0 NormalizeMSIEVersion NormalizeMSIEVersion
    qvnsis::IsQarvellClientRunning
    Goto called
  GetFileVersion:
    qvnsis::GetFileVersion $1 $2
    Goto called
  GetFileVersionEx:
    qvnsis::GetFileVersionEx $1 $2
    Goto called
  CompareVersions:
    qvnsis::CompareVersions $1 $2
    Goto called
  NormalizeMSIEVersion:
    qvnsis::NormalizeMSIEVersion $1
  called:
    StrCpy $3 0
    IfErrors 0 +2
    StrCpy $3 1
    Pop $4
    Pop $5
    StrCpy $6 0
    StrCmp $5 "below" 0 +2
    StrCpy $6 1
    ${Write} $R2 "$3$6"
    ${Write} $R2 $4
    ${WriteZero} $R2 0
    Goto next
  end:
  FileClose $R0
  FileClose $R2
SectionEnd
