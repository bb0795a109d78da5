# How clients find an installation: the pkg-config file and the CMake package.
# Both are relocatable, so an installation also works where it was unpacked.
include(CMakePackageConfigHelpers)

configure_file(${CMAKE_CURRENT_LIST_DIR}/morvane.pc.in ${PROJECT_BINARY_DIR}/morvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/morvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

set(morvane_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Morvane)
install(EXPORT MorvaneTargets NAMESPACE Morvane:: DESTINATION ${morvane_cmake_dir} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/MorvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/MorvaneConfig.cmake
  INSTALL_DESTINATION ${morvane_cmake_dir}
  PATH_VARS MORVANE_COMPONENT_FILE)
# A client asking for 1.x accepts any 1.y; another major version is refused.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MorvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/MorvaneConfig.cmake ${PROJECT_BINARY_DIR}/MorvaneConfigVersion.cmake
  DESTINATION ${morvane_cmake_dir} COMPONENT dev)
