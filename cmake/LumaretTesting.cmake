enable_testing()

# One Qt Test executable per test file, registered with CTest. Widget tests run on the
# offscreen platform at a fixed 96 dpi so pixel comparisons do not depend on the machine.
function(lumaret_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    # Tests may share helpers with tests of other folders.
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_FONT_DPI=96;LC_ALL=C.UTF-8"
        TIMEOUT 120)
endfunction()
