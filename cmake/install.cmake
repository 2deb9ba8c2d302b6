# What `cmake --install` lays out: the tools, the device libraries in a folder of their own (a
# site replaces them there), and what a desktop expects of an application.

set(KBCFG_APP_ID org.kbcfg.Kbcfg)
set(KBCFG_DATA ${PROJECT_SOURCE_DIR}/data)

foreach(tool kbcfg kbcfg-gui)
    if(TARGET ${tool})
        install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        # The tools dlopen the libraries by full path from there; the run path says the same to
        # anyone reading the binary.
        set_property(TARGET ${tool} PROPERTY INSTALL_RPATH "$ORIGIN/${KBCFG_LIBDIR_FROM_BINDIR}")
    endif()
endforeach()
install(TARGETS VyxNetSDK Vorp LIBRARY DESTINATION ${KBCFG_INSTALL_LIBDIR})

install(FILES ${KBCFG_DATA}/${KBCFG_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${KBCFG_DATA}/${KBCFG_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/data/${KBCFG_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/${KBCFG_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KBCFG_DATA}/kbcfg.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${KBCFG_DATA}/kbcfg.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${KBCFG_DATA}/icons/${size}x${size}/kbcfg.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Shell completions written by the CLI itself, so they always match its commands.
set(completions ${CMAKE_BINARY_DIR}/completions)
add_custom_command(
    OUTPUT ${completions}/kbcfg ${completions}/_kbcfg ${completions}/kbcfg.fish
    COMMAND ${CMAKE_COMMAND} -E make_directory ${completions}
    COMMAND kbcfg completion bash > ${completions}/kbcfg
    # zsh autoloads _kbcfg from its function path (the script starts with #compdef kbcfg).
    COMMAND kbcfg completion zsh > ${completions}/_kbcfg
    COMMAND kbcfg completion fish > ${completions}/kbcfg.fish
    DEPENDS kbcfg
    COMMENT "Writing the shell completions"
    VERBATIM)
add_custom_target(kbcfg_completions ALL DEPENDS ${completions}/kbcfg ${completions}/_kbcfg
                                                ${completions}/kbcfg.fish)
install(FILES ${completions}/kbcfg DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${completions}/_kbcfg DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${completions}/kbcfg.fish
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# Manual pages made from the tools' own --help, so they never drift from it.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(man ${CMAKE_BINARY_DIR}/man)
    set(pages "")
    foreach(tool kbcfg kbcfg-gui)
        if(NOT TARGET ${tool})
            continue()
        endif()
        if(tool STREQUAL "kbcfg")
            set(what "configuration files of the network control keyboard (command line)")
        else()
            set(what "configuration files of the network control keyboard (desktop tool)")
        endif()
        # kbcfg's page also lists every command with its options, and the fixed sections
        # (environment, exit status, files, examples).
        set(prepare "")
        set(include "")
        set(includeDeps "")
        if(tool STREQUAL "kbcfg")
            set(prepare COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/man-include
                        $<TARGET_FILE:${tool}> ${KBCFG_DATA}/kbcfg.h2m ${man}/kbcfg.h2m)
            set(include --include=${man}/kbcfg.h2m)
            set(includeDeps ${PROJECT_SOURCE_DIR}/scripts/man-include ${KBCFG_DATA}/kbcfg.h2m)
        endif()
        add_custom_command(
            OUTPUT ${man}/${tool}.1.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${man}
            ${prepare}
            COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1
                    --name=${what} --version-string=${PROJECT_VERSION} ${include}
                    --output=${man}/${tool}.1 $<TARGET_FILE:${tool}>
            COMMAND gzip -n -9 -f ${man}/${tool}.1
            DEPENDS ${tool} ${includeDeps}
            COMMENT "Writing the manual page of ${tool}"
            VERBATIM)
        list(APPEND pages ${man}/${tool}.1.gz)
        install(FILES ${man}/${tool}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
    add_custom_target(kbcfg_man ALL DEPENDS ${pages})
else()
    message(WARNING "help2man not found: no manual pages (scripts/install-deps installs it)")
endif()

# What a Debian package must carry in its documentation folder.
configure_file(${KBCFG_DATA}/changelog.in ${CMAKE_BINARY_DIR}/data/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/data/changelog.gz
                   COMMAND gzip -n -9 -c ${CMAKE_BINARY_DIR}/data/changelog >
                           ${CMAKE_BINARY_DIR}/data/changelog.gz
                   DEPENDS ${CMAKE_BINARY_DIR}/data/changelog VERBATIM)
add_custom_target(kbcfg_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/data/changelog.gz)
install(FILES ${KBCFG_DATA}/copyright ${CMAKE_BINARY_DIR}/data/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
