; The per-user Windows installer of Brantovel, built by tools/build-windows.sh with Debian's makensis:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DSTAGE=<the laid-out folder> -DLISTS=<folder of the
;            generated file lists> -DICON=<the program's icon> -DOUTFILE=<setup.exe> tools/installer.nsi
; The generated lists are install-files.nsh (every file but the report, with its folder) and
; uninstall-files.nsh (the same files and folders to remove), so the uninstaller removes exactly what an
; install put there.
;
; The program reads and writes its report zvit.xls, the log and the user's copies in its own folder, so
; the folder is the user's: an install never replaces an existing zvit.xls (or any file the program does
; not ship), an upgrade replaces only the program's own files, and the uninstaller leaves every other file
; and says so. Nothing is written before the checks (writable folder, the program and the report not open)
; have passed, so a refused install changes nothing.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinVer.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Brantovel"
!define PUBLISHER "Розробники Brantovel"
!define SHORTCUT "Контроль звіту про оренду"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brantovel"

Name "Brantovel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Brantovel"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Brantovel ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1058 "ProductName" "Brantovel — контроль звіту про оренду"
VIAddVersionKey /LANG=1058 "FileDescription" "Встановлення Brantovel ${VERSION}"
VIAddVersionKey /LANG=1058 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1058 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1058 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1058 "LegalCopyright" "© 2026 ${PUBLISHER}. Ліцензія MIT."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_ABORTWARNING_TEXT "Перервати встановлення Brantovel? Нічого з ваших файлів не буде змінено."
!define MUI_UNABORTWARNING
!define MUI_UNABORTWARNING_TEXT "Перервати видалення Brantovel?"

; The welcome page: what the program needs and what an upgrade keeps.
!define MUI_WELCOMEPAGE_TITLE "Встановлення Brantovel ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Brantovel допомагає заповнити й перевірити звіт про оренду державного майна.$\r$\n$\r$\nПотрібно: Windows 10 або 11, 64-розрядна. Права адміністратора не потрібні.$\r$\n$\r$\nЗвіт zvit.xls і протокол програма зберігає у своїй теці, тому тека має бути доступна для запису: програма встановлення пропонує таку теку у вашому профілі.$\r$\n$\r$\nОновлення замінює лише програму, шаблони й списки: ваш заповнений звіт, протоколи та інші ваші файли залишаються без змін."
!insertmacro MUI_PAGE_WELCOME

!define MUI_PAGE_HEADER_TEXT "Тека програми"
!define MUI_PAGE_HEADER_SUBTEXT "Виберіть теку, куди встановити Brantovel."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Brantovel буде встановлено в цю теку. Тут же зберігатимуться звіт zvit.xls і протокол, тому тека має бути доступна вам для запису (не «Program Files»). Щоб вибрати іншу, натисніть «Огляд…»."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Тека встановлення"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolder
!insertmacro MUI_PAGE_DIRECTORY

!define MUI_PAGE_HEADER_TEXT "Встановлення"
!define MUI_PAGE_HEADER_SUBTEXT "Зачекайте, доки файли Brantovel буде скопійовано."
!define MUI_INSTFILESPAGE_FINISHHEADER_TEXT "Встановлення завершено"
!define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT "Brantovel встановлено."
!define MUI_INSTFILESPAGE_ABORTHEADER_TEXT "Встановлення перервано"
!define MUI_INSTFILESPAGE_ABORTHEADER_SUBTEXT "Brantovel не встановлено; ваші файли не змінено."
!insertmacro MUI_PAGE_INSTFILES

!define MUI_FINISHPAGE_TITLE "Brantovel встановлено"
!define MUI_FINISHPAGE_TEXT "Brantovel ${VERSION} встановлено в теку$\r$\n$INSTDIR.$\r$\n$\r$\nЗапускайте програму з меню «Пуск»: «${SHORTCUT}»."
!define MUI_FINISHPAGE_RUN "$INSTDIR\Brantovel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Запустити Brantovel"
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Створити ярлик на робочому столі"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION CreateDesktopShortcut
!define MUI_FINISHPAGE_BUTTON "Готово"
!insertmacro MUI_PAGE_FINISH

!define MUI_PAGE_HEADER_TEXT "Видалення Brantovel"
!define MUI_PAGE_HEADER_SUBTEXT "Видалення файлів програми з комп'ютера."
!define MUI_UNCONFIRMPAGE_TEXT_TOP "Буде видалено файли програми Brantovel із цієї теки. Ваш звіт zvit.xls, протоколи, копії звітів та інші ваші файли залишаться в ній. Натисніть «Видалити», щоб продовжити."
!define MUI_UNCONFIRMPAGE_TEXT_LOCATION "Тека програми:"
!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_PAGE_HEADER_TEXT "Видалення"
!define MUI_PAGE_HEADER_SUBTEXT "Зачекайте, доки файли програми Brantovel буде видалено."
!undef MUI_INSTFILESPAGE_ABORTHEADER_TEXT ; the install page's abort texts stay defined after it
!undef MUI_INSTFILESPAGE_ABORTHEADER_SUBTEXT
!define MUI_INSTFILESPAGE_FINISHHEADER_TEXT "Видалення завершено"
!define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT "Файли програми видалено; ваші файли залишилися."
!define MUI_INSTFILESPAGE_ABORTHEADER_TEXT "Видалення перервано"
!define MUI_INSTFILESPAGE_ABORTHEADER_SUBTEXT "Програму не видалено."
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Ukrainian"

; NSIS's own Ukrainian texts on the pages above carry Russian spellings ("процессу", "Программа",
; "Видалить", "Підтверждення"): every one a user of these pages sees is given here in Ukrainian.
LangString ^SetupCaption ${LANG_UKRAINIAN} "Встановлення $(^Name)"
LangString ^UninstallCaption ${LANG_UKRAINIAN} "Видалення $(^Name)"
LangString ^BackBtn ${LANG_UKRAINIAN} "< &Назад"
LangString ^NextBtn ${LANG_UKRAINIAN} "&Далі >"
LangString ^InstallBtn ${LANG_UKRAINIAN} "&Встановити"
LangString ^UninstallBtn ${LANG_UKRAINIAN} "&Видалити"
LangString ^CancelBtn ${LANG_UKRAINIAN} "Скасувати"
LangString ^CloseBtn ${LANG_UKRAINIAN} "&Закрити"
LangString ^BrowseBtn ${LANG_UKRAINIAN} "&Огляд…"
LangString ^ShowDetailsBtn ${LANG_UKRAINIAN} "&Подробиці"
LangString ^ClickNext ${LANG_UKRAINIAN} "Натисніть «Далі», щоб продовжити."
LangString ^ClickInstall ${LANG_UKRAINIAN} "Натисніть «Встановити», щоб почати встановлення."
LangString ^ClickUninstall ${LANG_UKRAINIAN} "Натисніть «Видалити», щоб почати видалення."
LangString ^DirBrowseText ${LANG_UKRAINIAN} "Виберіть теку, куди встановити Brantovel:"
LangString ^SpaceAvailable ${LANG_UKRAINIAN} "Вільно на диску: "
LangString ^SpaceRequired ${LANG_UKRAINIAN} "Потрібно місця: "
LangString ^Byte ${LANG_UKRAINIAN} "Б"
LangString ^Kilo ${LANG_UKRAINIAN} " К"
LangString ^Mega ${LANG_UKRAINIAN} " М"
LangString ^Giga ${LANG_UKRAINIAN} " Г"
LangString ^UninstallingText ${LANG_UKRAINIAN} "Файли програми Brantovel буде видалено з цієї теки. $_CLICK"
LangString ^UninstallingSubText ${LANG_UKRAINIAN} "Видалення з теки:"
LangString ^InstallingSubCaption ${LANG_UKRAINIAN} ": Копіювання файлів"
LangString ^CompletedSubCaption ${LANG_UKRAINIAN} ": Завершено"
LangString ^ConfirmSubCaption ${LANG_UKRAINIAN} ": Підтвердження"
LangString ^UninstallingSubCaption ${LANG_UKRAINIAN} ": Видалення файлів"
LangString ^UnCompletedSubCaption ${LANG_UKRAINIAN} ": Завершено"
LangString ^DirSubCaption ${LANG_UKRAINIAN} ": Тека встановлення"
LangString ^Completed ${LANG_UKRAINIAN} "Завершено"
LangString ^CopyDetails ${LANG_UKRAINIAN} "Копіювати подробиці в буфер обміну"
LangString ^OutputFolder ${LANG_UKRAINIAN} "Тека: "
LangString ^Extract ${LANG_UKRAINIAN} "Розпакування: "
LangString ^ErrorWriting ${LANG_UKRAINIAN} "Розпакування: помилка запису файлу "
LangString ^CreateFolder ${LANG_UKRAINIAN} "Створення теки: "
LangString ^CreateShortcut ${LANG_UKRAINIAN} "Створення ярлика: "
LangString ^CreatedUninstaller ${LANG_UKRAINIAN} "Створення програми видалення: "
LangString ^Delete ${LANG_UKRAINIAN} "Видалення файлу: "
LangString ^RemoveFolder ${LANG_UKRAINIAN} "Видалення теки: "
LangString ^Skipped ${LANG_UKRAINIAN} "Пропущено: "
LangString ^ErrorCreatingShortcut ${LANG_UKRAINIAN} "Помилка створення ярлика: "
LangString ^ErrorCreating ${LANG_UKRAINIAN} "Помилка створення: "
LangString ^ErrorDecompressing ${LANG_UKRAINIAN} "Не вдалося розпакувати дані: файл установлення пошкоджено. Завантажте його ще раз."
LangString ^InstCorrupted ${LANG_UKRAINIAN} "Файл установлення пошкоджено. Завантажте його ще раз."
LangString ^FileError ${LANG_UKRAINIAN} "Не вдалося записати файл$\r$\n$\r$\n$0$\r$\n$\r$\nМожливо, його відкрито в іншій програмі. Закрийте її й натисніть «Повторити», або «Перервати», щоб зупинити встановлення."
LangString ^FileError_NoIgnore ${LANG_UKRAINIAN} "Не вдалося записати файл$\r$\n$\r$\n$0$\r$\n$\r$\nМожливо, його відкрито в іншій програмі. Закрийте її й натисніть «Повторити», або «Скасувати», щоб зупинити встановлення."

; ---------------------------------------------------------------------------------------------------
; The checks that come before any file is written.

; Whether the file $0 is held by a running program (Brantovel.exe running, the report open in Excel):
; opening it for writing, without changing it, fails then. $1 is "1" when it is held.
!macro IsHeldMacro un
Function ${un}IsHeldFn
  StrCpy $1 0
  ${If} ${FileExists} "$0"
    ClearErrors
    FileOpen $2 "$0" a
    ${If} ${Errors}
      StrCpy $1 1
    ${Else}
      FileClose $2
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro IsHeldMacro ""
!insertmacro IsHeldMacro "un."

; $R9 becomes the reason the install cannot go on in $INSTDIR, or "" when it can.
Function FolderProblem
  StrCpy $R9 ""
  ; The program writes the report and the log into its folder: the folder must take a new file.
  StrCpy $R8 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $R8 1 ; made here only for the test: removed again below
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $0 "$INSTDIR\brantovel-write-test.tmp" w
  ${If} ${Errors}
    StrCpy $R9 "До теки$\r$\n$INSTDIR$\r$\nне можна записувати. Brantovel зберігає звіт і протокол у своїй теці, тому виберіть теку, доступну вам для запису, наприклад$\r$\n$LOCALAPPDATA\Programs\Brantovel."
  ${Else}
    FileClose $0
    Delete "$INSTDIR\brantovel-write-test.tmp"
  ${EndIf}
  ${If} $R8 == 1
    RMDir "$INSTDIR"
  ${EndIf}
  ${If} $R9 != ""
    Return
  ${EndIf}
  ; An upgrade replaces the programs: neither may be running. The report must not be open either.
  StrCpy $0 "$INSTDIR\Brantovel.exe"
  Call IsHeldFn
  ${If} $1 == 1
    StrCpy $R9 "Brantovel зараз працює (файл Brantovel.exe у теці$\r$\n$INSTDIR$\r$\nзайнятий). Закрийте вікно «Формування та контроль звітів» і натисніть «Далі» або запустіть встановлення знову."
    Return
  ${EndIf}
  StrCpy $0 "$INSTDIR\brantovel-check.exe"
  Call IsHeldFn
  ${If} $1 == 1
    StrCpy $R9 "Зараз працює brantovel-check.exe з теки$\r$\n$INSTDIR.$\r$\nДочекайтеся, доки перевірка закінчиться, закрийте його вікно і спробуйте знову."
    Return
  ${EndIf}
  StrCpy $0 "$INSTDIR\zvit.xls"
  Call IsHeldFn
  ${If} $1 == 1
  ${OrIf} ${FileExists} "$INSTDIR\.~lock.zvit.xls#"
    StrCpy $R9 "Звіт zvit.xls у теці$\r$\n$INSTDIR$\r$\nвідкрито в іншій програмі (Excel чи LibreOffice). Збережіть його там і закрийте, потім спробуйте знову. Звіт не буде змінено."
    Return
  ${EndIf}
FunctionEnd

; Leaving the folder page: stay on it with the reason when the folder will not do.
Function CheckFolder
  Call FolderProblem
  ${If} $R9 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$R9"
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
  ${IfNot} ${AtLeastBuild} 14393
    MessageBox MB_OK|MB_ICONSTOP "Brantovel потребує Windows 10 (версії 1607 чи новішої) або Windows 11, 64-розрядної. На цьому комп'ютері програма не працюватиме." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function CreateDesktopShortcut
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\${SHORTCUT}.lnk" "$INSTDIR\Brantovel.exe" "" "$INSTDIR\Brantovel.exe" 0 SW_SHOWNORMAL "" "Формування та контроль звітів про оренду"
FunctionEnd

; ---------------------------------------------------------------------------------------------------
Section "Brantovel" SecProgram
  SectionIn RO
  ; A silent install (/S) has no folder page: the same checks, and nothing written when one fails.
  Call FolderProblem
  ${If} $R9 != ""
    MessageBox MB_OK|MB_ICONSTOP "$R9" /SD IDOK
    DetailPrint "Встановлення перервано: нічого не змінено."
    SetErrorLevel 2
    Abort
  ${EndIf}

  ; The program, its DLLs, templates, lists, instruction and licences: replaced on every upgrade.
  SetOverwrite on
  !include "${LISTS}\install-files.nsh"

  ; The report: the blank form only where there is none. A filled report is never replaced.
  SetOutPath "$INSTDIR"
  SetOverwrite off
  File "${STAGE}\zvit.xls"
  SetOverwrite on

  WriteUninstaller "$INSTDIR\uninstall.exe"
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}.lnk" "$INSTDIR\Brantovel.exe" "" "$INSTDIR\Brantovel.exe" 0 SW_SHOWNORMAL "" "Формування та контроль звітів про оренду"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Brantovel — контроль звіту про оренду"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Brantovel.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; ---------------------------------------------------------------------------------------------------
Function un.onInit
  StrCpy $0 "$INSTDIR\Brantovel.exe"
  Call un.IsHeldFn
  ${If} $1 != 1
    StrCpy $0 "$INSTDIR\brantovel-check.exe"
    Call un.IsHeldFn
  ${EndIf}
  ${If} $1 == 1
    MessageBox MB_OK|MB_ICONSTOP "Brantovel зараз працює. Закрийте програму й запустіть видалення знову. Нічого не видалено." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Only what an install put here; the report, the logs, copies and any other file stay.
  !include "${LISTS}\uninstall-files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${SHORTCUT}.lnk"
  Delete "$DESKTOP\${SHORTCUT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  RMDir "$INSTDIR" ; only when nothing of the user's is left in it
  ${If} ${FileExists} "$INSTDIR\*.*"
    DetailPrint "Ваші файли залишено в теці $INSTDIR"
    MessageBox MB_OK|MB_ICONINFORMATION "Brantovel видалено.$\r$\n$\r$\nВаші файли (звіт zvit.xls, протоколи, копії звітів) залишилися в теці$\r$\n$INSTDIR$\r$\n$\r$\nКоли вони стануть непотрібні, видаліть цю теку самі." /SD IDOK
  ${EndIf}
SectionEnd
