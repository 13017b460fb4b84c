# The portable folder: both programs with every file they read lying beside them (the data files and
# translations/ come from data/CMakeLists.txt) and, on Windows, the Qt and MinGW DLLs and Qt's plugins.
#   cmake --install BUILD --prefix DIR   lays the folder out in DIR;
#   cpack (in BUILD)                     zips it as Brantovel-<version>-win64.zip (one top folder).
# Installing does not build: build the programs first (tools/build-windows.sh does both).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(WIN32)
    install(TARGETS Brantovel brantovel-check RUNTIME DESTINATION .)
    # The Qt DLLs the programs and the two plugins load, the platform plugin and the native Windows look
    # (Qt looks for the plugins in platforms/ and styles/ beside the executable). tools/test-windows.sh
    # runs the programs from the unzipped folder alone, so a DLL left out here fails there.
    install(IMPORTED_RUNTIME_ARTIFACTS Qt6::Core Qt6::Gui Qt6::Widgets RUNTIME DESTINATION .)
    install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsIntegrationPlugin LIBRARY DESTINATION platforms)
    install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsVistaStylePlugin LIBRARY DESTINATION styles)
    # The C++ runtime: MinGW's DLLs from the compiler's own folders; MSVC's through
    # InstallRequiredSystemLibraries.
    if(MINGW)
        foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
            execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
            install(FILES "${path}" DESTINATION .)
        endforeach()
    endif()
    set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION .)
    include(InstallRequiredSystemLibraries)
    # Qt is shipped under the LGPL 3: its licence texts go along.
    if(EXISTS "${QT6_INSTALL_PREFIX}/licenses")
        install(DIRECTORY "${QT6_INSTALL_PREFIX}/licenses/" DESTINATION licenses/Qt)
    endif()
    # What the zip's user reads first: the requirements and how to upgrade without losing the report.
    configure_file(${PROJECT_SOURCE_DIR}/data/README-windows.txt.in ${CMAKE_BINARY_DIR}/README-windows.txt @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/README-windows.txt DESTINATION . RENAME README.txt)
    set(package_system win64)
else()
    install(TARGETS Brantovel brantovel-check RUNTIME DESTINATION .)
    set(package_system ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
endif()
# The program's own licence and the notices of every component shipped with it, as files Notepad opens.
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES THIRD-PARTY-NOTICES.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Brantovel)
set(CPACK_PACKAGE_VENDOR Brantovel)
set(CPACK_PACKAGE_FILE_NAME "Brantovel-${PROJECT_VERSION}-${package_system}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
