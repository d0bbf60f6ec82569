# Installation in the usual layout and the Debian package (cpack -G DEB from the build folder).
#   bin/quoravel, bin/quoravel-admin
#   share/quoravel/templates/*.rpt          (looked for after the program's own folder)
#   share/applications/quoravel.desktop, share/icons/hicolor/{scalable,48x48}/apps/quoravel.*
#   share/man/man1/quoravel-admin.1
include(GNUInstallDirs)

set(QV_TEMPLATE_DIR ${CMAKE_INSTALL_DATADIR}/quoravel/templates)
# Relative to the program, so that any prefix (a package, /usr/local, a test's temporary one) works.
file(RELATIVE_PATH QV_TEMPLATES_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/quoravel/templates)
target_compile_definitions(quoravel_core PRIVATE QV_INSTALLED_TEMPLATES="${QV_TEMPLATES_FROM_BIN}")

install(TARGETS quoravel quoravel-admin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Read at install time, so a template added later needs no new configure.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/templates/ DESTINATION ${QV_TEMPLATE_DIR} FILES_MATCHING PATTERN "*.rpt")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quoravel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quoravel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/docs/screenshots/quoravel-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME quoravel.png)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quoravel-admin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME quoravel)
set(CPACK_PACKAGE_VENDOR Quoravel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Double-entry accounting for a property developer")
# The first line of the package's description is the summary above; this is the rest.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "A three-level chart of accounts, journal, bank and cash vouchers, customers'\n"
  "applications for plots, ledgers, cash and bank books and trial balances, on an\n"
  "embedded database file or a PostgreSQL server. Includes quoravel-admin for\n"
  "set-up, headless reports and backups of the embedded book.")
set(CPACK_PACKAGE_CONTACT "Quoravel developers <quoravel@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quoravel_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The Qt, libsodium and X libraries the programs link, found by dpkg-shlibdeps; and what is
# loaded at run time rather than linked: the database drivers, the platform plugins (the
# window system and the admin tool's offscreen painting) and the fonts the reports name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, qt6-qpa-plugins, fonts-dejavu-core")
# The overview's charts draw Urdu names in Noto Naskh Arabic; without it they fall back to DejaVu.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-core")
set(CPACK_GENERATOR DEB)
include(CPack)
