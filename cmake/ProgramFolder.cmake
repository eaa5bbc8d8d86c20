# Everything the program needs at run time is assembled in one folder, the program folder,
# which the program finds as the folder of its own executable.
set(PROGRAM_DIR ${CMAKE_BINARY_DIR}/Lumaret)
# Installed by the packages, the program and its content live apart; the program finds the
# content relative to itself, and a group file prepared for every user in the admin folder.
include(GNUInstallDirs)
set(LUMARET_PROGRAM_INSTALL_DIR lib/lumaret)
set(LUMARET_CONTENT_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/lumaret)
file(RELATIVE_PATH LUMARET_CONTENT_FROM_PROGRAM
    /${LUMARET_PROGRAM_INSTALL_DIR} /${LUMARET_CONTENT_INSTALL_DIR})
set(LUMARET_ADMIN_FOLDER ${CMAKE_INSTALL_FULL_SYSCONFDIR}/lumaret)
# Where versions before 0.0.8 were installed, and root's player kept its settings.
set(LUMARET_EARLIER_FOLDER /opt/lumaret)
file(MAKE_DIRECTORY ${PROGRAM_DIR})
# Test movies, made at build time, never shipped.
set(MOVIE_FIXTURES ${CMAKE_BINARY_DIR}/movies/fixtures)

# Puts a target's output (executable or shared library) into the program folder. It finds the
# program folder's libraries beside itself ($ORIGIN) and nowhere else: the search path CMake
# makes for the build tree holds empty entries, which mean the current folder.
function(lumaret_in_program_folder target)
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${PROGRAM_DIR}
        LIBRARY_OUTPUT_DIRECTORY ${PROGRAM_DIR}
        BUILD_WITH_INSTALL_RPATH ON
        INSTALL_RPATH "$ORIGIN")
endfunction()

# Copies files into the program folder (below an optional sub-folder) whenever they change.
function(lumaret_ship_files target subdir)
    set(outputs)
    foreach(src IN LISTS ARGN)
        get_filename_component(name ${src} NAME)
        set(dst ${PROGRAM_DIR}/${subdir}/${name})
        add_custom_command(OUTPUT ${dst}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${src} ${dst}
            DEPENDS ${src} VERBATIM)
        list(APPEND outputs ${dst})
    endforeach()
    add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()

# A shared library of one platform stand-in (platform/<folder>): its headers are included as
# "<folder>/Header.h", it lands in the program folder, and DEFINE marks its own build for its
# export macro.
function(lumaret_platform_library target)
    cmake_parse_arguments(L "" "OUTPUT_NAME;DEFINE" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(${target} SHARED ${L_SOURCES})
    target_include_directories(${target} PUBLIC
        $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/platform>
        $<INSTALL_INTERFACE:include/strovel>)
    target_compile_definitions(${target} PRIVATE ${L_DEFINE})
    target_link_libraries(${target} PUBLIC ${L_PUBLIC_LIBS} PRIVATE ${L_PRIVATE_LIBS})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${L_OUTPUT_NAME})
    lumaret_in_program_folder(${target})
endfunction()
