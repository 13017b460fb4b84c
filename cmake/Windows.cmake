# What only a Windows build needs: version resources for the executables, the folders the MinGW runtime
# lies in, and, when the build is made on Linux, wine to run its tests.

# brantovel_add_version_resource(TARGET DESCRIPTION): the program's icon, its application manifest
# (cmake/brantovel.manifest.in) and its version information (Explorer's "Details" tab), compiled from
# cmake/version.rc.in.
function(brantovel_add_version_resource target description)
    set(RC_NAME ${target})
    set(RC_DESCRIPTION "${description}")
    set(RC_ICON "${PROJECT_SOURCE_DIR}/src/gui/brantovel.ico")
    set(RC_COPYRIGHT "© 2026 Розробники Brantovel. Ліцензія MIT.") # as app::kCopyright in src/run/version.h
    set(RC_MANIFEST "${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/brantovel.manifest.in ${RC_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    if(MSVC)
        target_link_options(${target} PRIVATE /MANIFEST:NO) # the resource carries the manifest
    endif()
endfunction()

if(NOT WIN32)
    return()
endif()

# MinGW's C++ runtime DLLs (libstdc++, libgcc_s, winpthread) ship beside the programs; the compiler knows
# where its own copies lie.
set(BRANTOVEL_RUNTIME_DIRS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}")
if(MINGW)
    foreach(dll libstdc++-6.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
            OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        get_filename_component(dir "${path}" DIRECTORY)
        get_filename_component(dir "${dir}" REALPATH)
        list(APPEND BRANTOVEL_RUNTIME_DIRS "${dir}")
    endforeach()
    list(REMOVE_DUPLICATES BRANTOVEL_RUNTIME_DIRS)
endif()

# Built on Linux: ctest runs every test program under wine through tools/wine-run.sh, which finds the DLLs
# and Qt's plugins in these folders.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(emulator ${PROJECT_SOURCE_DIR}/tools/wine-run.sh)
    foreach(dir IN LISTS BRANTOVEL_RUNTIME_DIRS)
        list(APPEND emulator --dll-dir ${dir})
    endforeach()
    list(APPEND emulator --plugin-dir ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS} --prefix ${CMAKE_BINARY_DIR}/wineprefix --)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${emulator})
endif()
