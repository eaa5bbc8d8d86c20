# An installable CMake package so other Qt programs can link the telop control directly:
#   find_package(Strovel)  ->  target Strovel::Strovel
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(STROVEL_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/strovel)
set(STROVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Strovel)

# The control and the two platform libraries its interface uses (a host embeds the control
# through the component model) are public libraries with versioned names, each packaged on
# its own. Installed, they find each other beside themselves.
set_target_properties(platform_runtime platform_com PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION 0)
set_target_properties(strovel platform_runtime platform_com PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(strovel PROPERTIES EXPORT_NAME Strovel)
set_target_properties(platform_runtime PROPERTIES EXPORT_NAME Runtime)
set_target_properties(platform_com PROPERTIES EXPORT_NAME Com)
install(TARGETS strovel platform_runtime platform_com EXPORT StrovelTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES
    telop/CtlStrovel.h telop/StrovelExport.h telop/StrovelIds.h
    DESTINATION ${STROVEL_INCLUDE_DIR})
install(DIRECTORY platform/com/ DESTINATION ${STROVEL_INCLUDE_DIR}/com FILES_MATCHING PATTERN "*.h"
    PATTERN tests EXCLUDE PATTERN regsvr EXCLUDE)
install(DIRECTORY platform/runtime/ DESTINATION ${STROVEL_INCLUDE_DIR}/runtime FILES_MATCHING PATTERN "*.h"
    PATTERN tests EXCLUDE)
install(TARGETS strovel_designer LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/qt6/plugins/designer)
install(EXPORT StrovelTargets NAMESPACE Strovel:: DESTINATION ${STROVEL_CMAKE_DIR})

configure_package_config_file(cmake/StrovelConfig.cmake.in
    ${CMAKE_BINARY_DIR}/StrovelConfig.cmake INSTALL_DESTINATION ${STROVEL_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/StrovelConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/StrovelConfig.cmake ${CMAKE_BINARY_DIR}/StrovelConfigVersion.cmake
    DESTINATION ${STROVEL_CMAKE_DIR})
