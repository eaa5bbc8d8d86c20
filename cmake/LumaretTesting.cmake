# BUILD_TESTING=OFF (as the Debian package builds) leaves out the tests and benchmarks.
include(CTest)

# A folder's tests, where tests are built.
macro(lumaret_add_tests_folder)
    if(BUILD_TESTING)
        add_subdirectory(tests)
    endif()
endmacro()

# One Qt Test executable per test file, registered with CTest. Widget tests run on the
# offscreen platform at a fixed 96 dpi so pixel comparisons do not depend on the machine.
# Tests marked X_SERVER (web engine, video) run on a virtual X display instead.
function(lumaret_add_test name)
    cmake_parse_arguments(T "X_SERVER" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    # Tests may share helpers with tests of other folders.
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    if(T_X_SERVER)
        add_test(NAME ${name} COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${name}>)
        set(platform xcb)
    else()
        add_test(NAME ${name} COMMAND ${name})
        set(platform offscreen)
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=${platform};QT_FONT_DPI=96;LC_ALL=C.UTF-8"
        TIMEOUT 300)
endfunction()
