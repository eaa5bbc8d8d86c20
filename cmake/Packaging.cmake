# What the Debian packages install (debian/*.install splits it into packages):
#   /usr/lib/lumaret     the player, its helper program, its private libraries, the web player
#   /usr/share/lumaret   the content each user's program folder starts from, and the autostart
#                        entry (installed, not enabled)
#   /usr/bin/lumaret     a link to the player
#   the systemd user unit (installed, not enabled) and the manual page lumaret(1)
# The Strovel libraries, headers and CMake package are installed by StrovelPackage.
# The folders are named in ProgramFolder.cmake.
install(TARGETS lumaret regsvr platform_movie platform_movie_web platform_movie_video platform_movie_multimedia
    platform_profile platform_text
    RUNTIME DESTINATION ${LUMARET_PROGRAM_INSTALL_DIR}
    LIBRARY DESTINATION ${LUMARET_PROGRAM_INSTALL_DIR})
# The web player without its licence files, which the package's copyright file carries.
install(DIRECTORY ${PROGRAM_DIR}/ruffle DESTINATION ${LUMARET_PROGRAM_INSTALL_DIR}
    PATTERN "LICENSE_*" EXCLUDE)
install(CODE "
    set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bindir}\")
    file(CREATE_LINK ../${LUMARET_PROGRAM_INSTALL_DIR}/lumaret \"\${bindir}/lumaret\" SYMBOLIC)")

# The content as the sources ship it, and as the build makes it (movies, sample pictures);
# never what a run of the build wrote into the build's program folder.
set(SHIPPED ${CMAKE_SOURCE_DIR}/content)
install(FILES ${SHIPPED}/lumaret.ini ${SHIPPED}/on.bmp ${SHIPPED}/off.bmp ${SHIPPED}/urgent-on.bmp
    ${SHIPPED}/urgent-off.bmp "${SHIPPED}/最初にお読みください.txt"
    DESTINATION ${LUMARET_CONTENT_INSTALL_DIR})
install(FILES ${SHIPPED}/img/swfpara.txt DESTINATION ${LUMARET_CONTENT_INSTALL_DIR}/img)
install(FILES ${SHIPPED}/help/help.html DESTINATION ${LUMARET_CONTENT_INSTALL_DIR}/help)
install(DIRECTORY ${PROGRAM_DIR}/img/ DESTINATION ${LUMARET_CONTENT_INSTALL_DIR}/img
    FILES_MATCHING PATTERN "*.swf" PATTERN "quandor.jpg" PATTERN "sample?.jpg")
install(FILES ${PROGRAM_DIR}/ani/quandor.swf DESTINATION ${LUMARET_CONTENT_INSTALL_DIR}/ani)
install(DIRECTORY DESTINATION ${LUMARET_CONTENT_INSTALL_DIR}/save)

# Start at login: one unit and one autostart entry for the installed player, and one each for
# this build's program folder (build/autostart), so neither needs editing before use.
function(lumaret_autostart_files folder command)
    set(LUMARET_COMMAND ${command})
    configure_file(${CMAKE_SOURCE_DIR}/content/autostart/lumaret.service ${folder}/lumaret.service @ONLY)
    configure_file(${CMAKE_SOURCE_DIR}/content/autostart/lumaret.desktop ${folder}/lumaret.desktop @ONLY)
endfunction()
lumaret_autostart_files(${CMAKE_BINARY_DIR}/autostart ${PROGRAM_DIR}/lumaret)
lumaret_autostart_files(${CMAKE_BINARY_DIR}/package
    ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/lumaret)
install(FILES ${CMAKE_BINARY_DIR}/package/lumaret.service DESTINATION lib/systemd/user)
install(FILES ${CMAKE_BINARY_DIR}/package/lumaret.desktop
    DESTINATION ${LUMARET_CONTENT_INSTALL_DIR}/autostart)

# The manual page, made from --help so the two always agree; where help2man is missing (a
# developer's machine) there is none to install.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package/lumaret.1
        COMMAND ${CMAKE_COMMAND} -E env PATH=$<TARGET_FILE_DIR:lumaret>:$ENV{PATH}
            ${HELP2MAN} --no-info --no-discard-stderr --section 1
            --name "advertising display player with a scrolling dot-matrix telop"
            --include ${CMAKE_SOURCE_DIR}/player/lumaret.h2m
            --output ${CMAKE_BINARY_DIR}/package/lumaret.1 lumaret
        DEPENDS lumaret ${CMAKE_SOURCE_DIR}/player/lumaret.h2m VERBATIM)
    add_custom_target(manual_page ALL DEPENDS ${CMAKE_BINARY_DIR}/package/lumaret.1)
    install(FILES ${CMAKE_BINARY_DIR}/package/lumaret.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
