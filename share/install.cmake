# What an installation holds besides the two programs, and the Debian package made of it
# (scripts/package). Installed, the program keeps each user's data in ~/.local/share/tesvan.
include(GNUInstallDirs)
# Installing (and so packaging) takes what is built and builds nothing: scripts/package builds the
# programs and share/ alone, not every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(TESVAN_RELEASE_DATE "2026-12-08")
set(TESVAN_RELEASE_DATE_RFC "Tue, 08 Dec 2026 00:00:00 +0000")
set(TESVAN_MAINTAINER "Tesvan maintainers <maintainers@users.noreply.c-seed-5f574ee0.example>")

set(share_src ${CMAKE_CURRENT_SOURCE_DIR}/share)
set(share_out ${CMAKE_CURRENT_BINARY_DIR}/share)

install(TARGETS tesvan tesvan-initdb tesvan-admin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${share_src}/tesvan.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${share_src}/tesvan.metainfo.xml.in ${share_out}/tesvan.metainfo.xml @ONLY)
install(FILES ${share_out}/tesvan.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${share_src}/icons/tesvan.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The PNG sizes of the icon, drawn from the SVG at build time.
set(share_made)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${share_out}/icons/${size}x${size}/tesvan.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${share_out}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${share_src}/icons/tesvan.svg
      DEPENDS ${share_src}/icons/tesvan.svg VERBATIM)
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    list(APPEND share_made ${png})
  endforeach()
else()
  message(WARNING "rsvg-convert (librsvg2-bin) not found: only the SVG icon is installed")
endif()

# Man pages and the Debian changelog, compressed the way Debian wants them (no name, no time).
foreach(page tesvan tesvan-initdb tesvan-admin)
  configure_file(${share_src}/man/${page}.1.in ${share_out}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${share_out}/man/${page}.1.gz
    COMMAND gzip -9nkf ${share_out}/man/${page}.1
    DEPENDS ${share_out}/man/${page}.1 VERBATIM)
  install(FILES ${share_out}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  list(APPEND share_made ${share_out}/man/${page}.1.gz)
endforeach()
configure_file(${share_src}/changelog.in ${share_out}/doc/changelog @ONLY)
add_custom_command(OUTPUT ${share_out}/doc/changelog.gz
  COMMAND gzip -9nkf ${share_out}/doc/changelog
  DEPENDS ${share_out}/doc/changelog VERBATIM)
list(APPEND share_made ${share_out}/doc/changelog.gz)
install(FILES ${share_src}/copyright ${share_out}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_target(tesvan_share ALL DEPENDS ${share_made})

# The Debian package: cpack -G DEB in the build folder gives tesvan_<version>_amd64.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tesvan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TESVAN_MAINTAINER})
set(CPACK_PACKAGE_VENDOR "Tesvan maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sales daily reports (営業日報)")
# Lines of at most 80 characters, as Debian shows them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "A Japanese desktop program for the daily activity reports of sales staff.\n"
  "A report of up to 100 lines is typed into a grid, registered by name and\n"
  "creation date, read back, listed and printed on landscape A4 with a preview.\n"
  "Pick lists of departments, names, visit destinations and remarks learn new\n"
  "entries as reports are registered.\n"
  "\n"
  "Each user's data lives in ~/.local/share/tesvan, made on the first start;\n"
  "a team may keep its reports on a PostgreSQL server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries found from the binaries; the plugins, translation and font that Qt loads at run time
# are named here. The server's driver and libpq are opened only when a team server is set.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-translations-l10n, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, libpq5")
include(CPack)
