# The Debian package: `cmake --build <dir> --target package` makes
# morvane_<version>_<arch>.deb (the architecture dpkg names) holding the whole
# installation under /usr. Its dependencies on other packages are worked out from
# the libraries the programs and modules link (dpkg-shlibdeps); a part that needs a
# package no library shows (an interpreter's module, say) adds it with
#   set_property(GLOBAL APPEND PROPERTY MORVANE_PACKAGE_DEPENDS "python3-numpy")
set(MORVANE_PACKAGE_CONTACT "Morvane maintainers <maintainers@morvane.invalid>"
  CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${MORVANE_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "feature tracker component with its platform runtime")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "An in-process component that tracks sparse image features between two grey\n"
  "frames with pyramidal Lucas-Kanade optical flow, and its platform runtime with\n"
  "kernel, registry, component-system and automation services. With the programs\n"
  "regsvr, reg and trackdemo, headers, pkg-config and CMake files for clients, and\n"
  "manual pages.")
# The DEB generator installs under /usr by default.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
get_property(extra_depends GLOBAL PROPERTY MORVANE_PACKAGE_DEPENDS)
if(extra_depends)
  list(JOIN extra_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()
# The package registers the component for every user in the machine registry
# when it is installed, and removes that registration when it is removed. Its
# programs read the machine registry where the build tree was configured to,
# so packages come from a tree configured for /usr.
set(MORVANE_PACKAGE_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX ${MORVANE_PACKAGE_PREFIX})
foreach(script postinst prerm postrm)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/${script}.in ${PROJECT_BINARY_DIR}/debian/${script} @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/${script})
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/check_prefix.cmake.in ${PROJECT_BINARY_DIR}/debian/check_prefix.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/debian/check_prefix.cmake)
# `--target package_source` packs the checkout without build trees and local state.
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build/" "/stage/" "/\\.registry/")
include(CPack)
