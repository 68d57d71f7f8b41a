# Installs the build into a scratch root the way a package would (prefix /usr) and checks the desktop
# integration there: every file in place, the menu entry and the metainfo valid for their tools, the
# icons PNGs of the right size with an alpha channel.
# Arguments: -DBUILD_DIR=... -DWORK_DIR=... -DAPP_ID=... -DWITH_PROGRAM=0|1

file(REMOVE_RECURSE "${WORK_DIR}")
set(root "${WORK_DIR}/root")
set(ENV{DESTDIR} "${root}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

set(desktop "${root}/usr/share/applications/${APP_ID}.desktop")
set(metainfo "${root}/usr/share/metainfo/${APP_ID}.metainfo.xml")
set(doc "${root}/usr/share/doc/vkx260")
set(expected "${desktop}" "${metainfo}" "${root}/usr/lib/udev/rules.d/70-vkx260.rules"
             "${doc}/Handbuch.txt" "${doc}/copyright" "${doc}/changelog.gz")
foreach(size 32 48 256)
    list(APPEND expected "${root}/usr/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png")
endforeach()
if(WITH_PROGRAM)
    list(APPEND expected "${root}/usr/bin/DIZUravavedVKX260")
endif()
foreach(path IN LISTS expected)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
if(WITH_PROGRAM)
    execute_process(COMMAND test -x "${root}/usr/bin/DIZUravavedVKX260" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "the program is installed without execute permission")
    endif()
endif()

execute_process(COMMAND desktop-file-validate "${desktop}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate ${desktop}:\n${output}")
endif()

execute_process(COMMAND appstreamcli validate --no-net "${metainfo}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate ${metainfo}:\n${output}")
endif()
# The tree as a software centre reads it: metainfo, the desktop file it launches, and the icon.
execute_process(COMMAND appstreamcli validate-tree --no-net "${root}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate-tree ${root}:\n${output}")
endif()

# PNG header: width and height (big-endian, bytes 16 to 23), bit depth 8, colour type 6 (RGBA).
foreach(size 32 48 256)
    set(icon "${root}/usr/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png")
    file(READ "${icon}" header OFFSET 16 LIMIT 10 HEX)
    string(SUBSTRING "${header}" 0 8 widthHex)
    string(SUBSTRING "${header}" 8 8 heightHex)
    string(SUBSTRING "${header}" 16 4 depthAndType)
    math(EXPR width "0x${widthHex}")
    math(EXPR height "0x${heightHex}")
    if(NOT width EQUAL size OR NOT height EQUAL size OR NOT depthAndType STREQUAL "0806")
        message(FATAL_ERROR "${icon}: ${width}x${height}, depth and colour type ${depthAndType}; "
                            "want ${size}x${size}, 0806 (8-bit RGBA)")
    endif()
endforeach()
