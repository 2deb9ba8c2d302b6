# `make package-windows`: kbcfg-VERSION-windows-x64.zip in the build folder, one folder holding
# kbcfg.exe, the two simulated device libraries beside it (a site replaces them with its own)
# and README.txt. CMake writes the zip itself, so no zip tool is needed.
set(KBCFG_WINDOWS_PACKAGE kbcfg-${PROJECT_VERSION}-windows-x64)
set(stage ${CMAKE_BINARY_DIR}/package-windows)
# Without their debugging information (a tenth of the size) when there is a strip program.
set(strip "")
if(CMAKE_STRIP)
    set(strip COMMAND ${CMAKE_STRIP} --strip-debug ${stage}/${KBCFG_WINDOWS_PACKAGE}/kbcfg.exe
              ${stage}/${KBCFG_WINDOWS_PACKAGE}/$<TARGET_FILE_NAME:VyxNetSDK>
              ${stage}/${KBCFG_WINDOWS_PACKAGE}/$<TARGET_FILE_NAME:Vorp>)
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-readme.txt.in
               ${CMAKE_BINARY_DIR}/windows-readme.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_target(
    kbcfg_package_windows
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/${KBCFG_WINDOWS_PACKAGE}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kbcfg> $<TARGET_FILE:VyxNetSDK>
            $<TARGET_FILE:Vorp> ${stage}/${KBCFG_WINDOWS_PACKAGE}
    ${strip}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/windows-readme.txt
            ${stage}/${KBCFG_WINDOWS_PACKAGE}/README.txt
    COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E tar cf
            ${CMAKE_BINARY_DIR}/${KBCFG_WINDOWS_PACKAGE}.zip --format=zip ${KBCFG_WINDOWS_PACKAGE}
    DEPENDS kbcfg VyxNetSDK Vorp ${CMAKE_BINARY_DIR}/windows-readme.txt
    COMMENT "Writing ${KBCFG_WINDOWS_PACKAGE}.zip"
    VERBATIM)
