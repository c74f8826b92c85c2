; An installer that calls qvnsis.dll's functions as a list says, and writes
; what each call leaves: compiled once per flavour by check_nsis.py,
;   makensis -DTARGET=FLAVOUR -DPLUGINS=DIR -DOUTFILE=EXE calls.nsi
; and run silently (/S) from a folder holding calls.txt. Each call takes
; three lines of calls.txt (function, first argument, second argument) and
; gives a record in answers.txt: the error flag ("1" or "0"), "1" when the
; stack holds exactly what it held before but the pushed answer (else "0"),
; the answer, and a NUL. Unicode installers read and write UTF-16LE, ANSI
; ones bytes.
Target ${TARGET}
!addplugindir /${TARGET} "${PLUGINS}"
OutFile "${OUTFILE}"
SilentInstall silent
RequestExecutionLevel user
Name "qvnsis calls"

!ifdef NSIS_UNICODE
  !define Read FileReadUTF16LE
  !define Write FileWriteUTF16LE
  !define WriteZero FileWriteWord
!else
  !define Read FileRead
  !define Write FileWrite
  !define WriteZero FileWriteByte
!endif

Var list
Var out
Var function
Var first
Var second
Var error
Var stack
Var answer

; $R0 without the line break FileRead keeps.
Function Chomp
  loop:
    StrCpy $R1 $R0 1 -1
    StrCmp $R1 "$\n" cut
    StrCmp $R1 "$\r" cut done
  cut:
    StrCpy $R0 $R0 -1
    Goto loop
  done:
FunctionEnd

!macro ReadLine var
  ClearErrors
  ${Read} $list $R0
  Call Chomp
  StrCpy ${var} $R0
!macroend

Section
  FileOpen $list "$EXEDIR\calls.txt" r
  FileOpen $out "$EXEDIR\answers.txt" w
  StrCpy $R9 0 ; the row, whose parity sets the error flag before the call
  next:
    !insertmacro ReadLine $function
    IfErrors end
    !insertmacro ReadLine $first
    !insertmacro ReadLine $second
    Push "qvnsis-below"
    IntOp $R9 $R9 + 1
    IntOp $R8 $R9 % 2
    ClearErrors
    IntCmp $R8 0 +2
    SetErrors
    ; Labels, not relative jumps: a plug-in call is several instructions.
    StrCmp $function GetFileVersion 0 +2
    Goto GetFileVersion
    StrCmp $function GetFileVersionEx 0 +2
    Goto GetFileVersionEx
    StrCmp $function CompareVersions 0 +2
    Goto CompareVersions
    StrCmp $function NormalizeMSIEVersion 0 +2
    Goto NormalizeMSIEVersion
    qvnsis::IsQarvellClientRunning
    Goto called
  GetFileVersion:
    qvnsis::GetFileVersion $first $second
    Goto called
  GetFileVersionEx:
    qvnsis::GetFileVersionEx $first $second
    Goto called
  CompareVersions:
    qvnsis::CompareVersions $first $second
    Goto called
  NormalizeMSIEVersion:
    qvnsis::NormalizeMSIEVersion $first
  called:
    StrCpy $error 0
    IfErrors 0 +2
    StrCpy $error 1
    Pop $answer
    Pop $R0
    StrCpy $stack 0
    StrCmp $R0 "qvnsis-below" 0 +2
    StrCpy $stack 1
    ${Write} $out "$error$stack"
    ${Write} $out $answer
    ${WriteZero} $out 0
    Goto next
  end:
  FileClose $list
  FileClose $out
SectionEnd
