# cpack -G DEB builds an installable package of the same install tree; the
# dependencies are read off the binaries rather than listed by hand.
set(CPACK_PACKAGE_NAME oskiro-mero)
set(CPACK_PACKAGE_VENDOR "Oskiro")
set(CPACK_PACKAGE_CONTACT "Oskiro technical support <support@oskiro.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "host for the MERO two-channel frequency-response meter")
set(CPACK_PACKAGE_DESCRIPTION
    "Connects to the MERO meter over its USB serial port, sweeps the uplink (S21)\nand downlink (S12) gain of a band on live charts with markers, calibrates\nthe meter and updates its firmware. Includes the mero-sim device simulator.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Every icon is an SVG, drawn by Qt's plugins, which are loaded at run time
# and so invisible to shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5svg5")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.oskiro.example/")
# Qt's own dialogs (Yes, No, Cancel) in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qttranslations5-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
