# `make package`: a Debian package of the installed tree, its dependencies read from the
# binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kbcfg)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "kbcfg maintainers <maintainers@kbcfg.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for network control keyboards")
# CPack puts the summary first and indents these lines; an empty line separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "kbcfg edits the configuration file of the desk keyboard with which the
operators of a video-surveillance installation call up cameras, decoder
outputs, scenes and TV walls by number: devices, operator users and their
channels, and the keyboards found on the network.

The package holds the desktop tool kbcfg-gui, the command-line tool kbcfg and
simulated device libraries in /usr/lib/kbcfg, which a site replaces with its
own.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows' Chinese texts need a font with the glyphs, and Qt's own dialogs (file choosers,
# standard buttons) their translations; dpkg-shlibdeps adds its own to this.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, qt6-translations-l10n")
# The header font of the lists; without it a look-alike is used.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-crosextra-carlito)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
