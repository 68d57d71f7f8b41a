# Builds the Debian package with CPack and checks that it holds the program's files and the manual,
# runs its udev step after installing, depends on the Qt and libudev runtime that the program links,
# and that lintian finds no error in it.
# Arguments: -DBUILD_DIR=... -DWORK_DIR=... -DAPP_ID=... -DWITH_PROGRAM=0|1

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND cpack -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed:\n${output}")
endif()
file(GLOB packages "${WORK_DIR}/*.deb")
list(LENGTH packages count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "want one .deb in ${WORK_DIR}, found: ${packages}\n${output}")
endif()

execute_process(COMMAND dpkg-deb -c "${packages}"
                RESULT_VARIABLE result OUTPUT_VARIABLE listing ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -c failed:\n${error}")
endif()
set(expected
    "./usr/share/applications/${APP_ID}.desktop"
    "./usr/share/metainfo/${APP_ID}.metainfo.xml"
    "./usr/share/icons/hicolor/32x32/apps/${APP_ID}.png"
    "./usr/share/icons/hicolor/48x48/apps/${APP_ID}.png"
    "./usr/share/icons/hicolor/256x256/apps/${APP_ID}.png"
    "./usr/lib/udev/rules.d/70-vkx260.rules"
    "./usr/share/doc/vkx260/Handbuch.txt"
    "./usr/share/doc/vkx260/copyright"
    "./usr/share/doc/vkx260/changelog.gz")
if(WITH_PROGRAM)
    list(APPEND expected "./usr/bin/DIZUravavedVKX260")
endif()
foreach(path IN LISTS expected)
    string(FIND "${listing}" " ${path}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the package lacks ${path}; it holds:\n${listing}")
    endif()
endforeach()

execute_process(COMMAND dpkg-deb -I "${packages}" postinst
                RESULT_VARIABLE result OUTPUT_VARIABLE postinst ERROR_VARIABLE error)
if(NOT result EQUAL 0 OR NOT postinst MATCHES "udevadm trigger")
    message(FATAL_ERROR "the package has no postinst that applies the udev rule:\n${error}${postinst}")
endif()

execute_process(COMMAND lintian --fail-on error --allow-root "${packages}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lintian finds errors in the package:\n${output}")
endif()

if(NOT WITH_PROGRAM)
    return()
endif()
execute_process(COMMAND dpkg-deb -f "${packages}" Depends
                RESULT_VARIABLE result OUTPUT_VARIABLE depends ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -f failed:\n${error}")
endif()
foreach(package libqt6widgets6 libqt6gui6 libqt6core6 libudev1)
    if(NOT depends MATCHES "(^|[ ,])${package}( |,|$)")
        message(FATAL_ERROR "the package does not depend on ${package}: ${depends}")
    endif()
endforeach()
