# The Debian package (make package): the program folder under /opt/lumaret with `lumaret` on
# the PATH, the Strovel library with its headers, CMake package and Designer plugin (installed
# by StrovelPackage), and the systemd user unit and XDG autostart entry, installed but not
# enabled. Run-time dependencies come from the binaries (dpkg-shlibdeps) plus what is loaded
# at run time and no binary names.
set(LUMARET_INSTALL_DIR /opt/lumaret)

# The program folder as built, less what the player writes into it while it runs (settings,
# slide list, saved sets, temporary files, status reports, proof of play): those come fresh
# from the sources, or are made by each user's player.
install(DIRECTORY ${PROGRAM_DIR}/ DESTINATION ${LUMARET_INSTALL_DIR} USE_SOURCE_PERMISSIONS
    REGEX "/lumaret\\.ini(\\..*)?$" EXCLUDE
    REGEX "/lan\\.ini$" EXCLUDE
    REGEX "/img/swfpara\\.txt(\\..*)?$" EXCLUDE
    REGEX "/save/.+" EXCLUDE
    REGEX "/status(/.*)?$" EXCLUDE
    REGEX "/log(/.*)?$" EXCLUDE
    REGEX "/mirror(/.*)?$" EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/content/lumaret.ini DESTINATION ${LUMARET_INSTALL_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/content/img/swfpara.txt DESTINATION ${LUMARET_INSTALL_DIR}/img)

set(PROGRAM_FOLDER ${LUMARET_INSTALL_DIR})
configure_file(${CMAKE_SOURCE_DIR}/cmake/lumaret-launcher.in ${CMAKE_BINARY_DIR}/package/lumaret @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/content/autostart/lumaret.service
    ${CMAKE_BINARY_DIR}/package/lumaret.service @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/content/autostart/lumaret.desktop
    ${CMAKE_BINARY_DIR}/package/lumaret.desktop @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/package/lumaret DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/package/lumaret.service DESTINATION lib/systemd/user)
install(FILES ${CMAKE_BINARY_DIR}/package/lumaret.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lumaret/autostart)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumaret)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lumaret")
set(CPACK_PACKAGE_CONTACT "Lumaret developers <lumaret@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Advertising display player: a looping presentation with a scrolling dot-matrix telop")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON) # the program folder's absolute place
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${LUMARET_INSTALL_DIR})
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
# Loaded at run time, named by no binary: the web engine's helper process, the platform and
# media plugins' back ends, the Japanese fonts, and xset for keeping the screen on.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6webenginecore6-bin, qt6-qpa-plugins, qt6-translations-l10n, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav, fonts-ipafont-gothic, fontconfig, x11-xserver-utils")
include(CPack)
