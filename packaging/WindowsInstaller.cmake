# The Windows edition's installer: CPack's NSIS generator builds vkx260-<version>-win64.exe, which puts
# the program into "Program Files\DIZ Uravaved VKX260", adds a Start-menu entry and an uninstaller
# (with its entry in "Apps & features"), and installs without a question when started with /S.
# The program is statically linked, so it is the only file beside the operator's manual, which the
# program's menu says is in its folder; a text file, so that Notepad opens it on any PC.
install(TARGETS DIZUravavedVKX260 RUNTIME DESTINATION .)
install(FILES ${VKX_SOURCE_ROOT}/docs/Handbuch.md DESTINATION . RENAME Handbuch.txt)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME vkx260)
set(CPACK_PACKAGE_VENDOR "DIZ Uravaved")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "time list of the DIZ Uravaved VKX260 LED stopwatch")
set(CPACK_PACKAGE_FILE_NAME vkx260-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "DIZ Uravaved VKX260")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY vkx260)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "DIZ Uravaved VKX260")
set(CPACK_NSIS_DISPLAY_NAME "DIZ Uravaved VKX260 ${PROJECT_VERSION}")
# The Start-menu entry: the program's file name, then the entry's name.
set(CPACK_PACKAGE_EXECUTABLES DIZUravavedVKX260 "DIZ Uravaved VKX260")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MENU_LINKS Handbuch.txt "Handbuch")
# The program has no licence text of its own to agree to, so the installer shows no licence page
# (CPack would show its English placeholder).
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
# The finish page offers to start the program, in German like the program itself.
set(CPACK_NSIS_MUI_FINISHPAGE_RUN DIZUravavedVKX260.exe)
set(CPACK_NSIS_DEFINES "!define MUI_FINISHPAGE_RUN_TEXT 'Programm starten'")
# CPack names the uninstaller's Start-menu entry "Uninstall" in every language: once the entries are
# written, it becomes "Deinstallieren". An entry not made (the operator chose none) stays unmade.
# CPack writes these values into its configuration unquoted, so NSIS's strings take single quotes.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  IfFileExists '$SMPROGRAMS\$STARTMENU_FOLDER\Uninstall.lnk' 0 +3
    Delete '$SMPROGRAMS\$STARTMENU_FOLDER\Deinstallieren.lnk'
    Rename '$SMPROGRAMS\$STARTMENU_FOLDER\Uninstall.lnk' '$SMPROGRAMS\$STARTMENU_FOLDER\Deinstallieren.lnk'
]=])
set(CPACK_NSIS_DELETE_ICONS_EXTRA [=[
  Delete '$SMPROGRAMS\$MUI_TEMP\Deinstallieren.lnk'
]=])
set(CPACK_NSIS_INSTALLED_ICON_NAME DIZUravavedVKX260.exe)
set(CPACK_NSIS_MUI_ICON ${VKX_SOURCE_ROOT}/res/icons/vkx260.ico)
set(CPACK_NSIS_MUI_UNIICON ${VKX_SOURCE_ROOT}/res/icons/vkx260.ico)
# An installed older version is uninstalled first; under /S without asking.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer for the 64-bit program: makensis builds a 32-bit one unless told, which a 64-bit
# Wine without its 32-bit half cannot run. CPack splits these arguments twice at blanks, so the blank
# inside the one argument is escaped for both.
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS [[-XTarget\\\ amd64-unicode]])
set(CPACK_STRIP_FILES ON)
include(CPack)
