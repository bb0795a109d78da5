# The Debian packages: `cmake --build <dir> --target package` makes one package per
# install component, split as Debian ships a library:
#   libmorvane-platform1  the platform runtime (soname libmorvane-platform.so.1)
#   libmorvane-track1     the sequence engine (soname libmorvane-track.so.1)
#   libmorvane-dev        headers, pkg-config and CMake files, the link-time symlinks
#   morvane               the programs, their manual pages, the sample frames and the
#                         component Morvane.so, which it registers machine-wide
#   python3-morvane       the Python package
# Each is named <package>_<version>_<arch>.deb. Dependencies on other packages come from
# the libraries the binaries link (dpkg-shlibdeps) and, between our own packages, from
# the component dependencies below, with the exact version.
set(MORVANE_PACKAGE_CONTACT "Morvane maintainers <maintainers@morvane.invalid>"
  CACHE STRING "Maintainer named in the Debian packages")
# The Debian revision of this packaging of the release.
set(MORVANE_PACKAGE_REVISION 1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${MORVANE_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${MORVANE_PACKAGE_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The packages' binaries are stripped of their symbols; the build id stays.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENTS_ALL platform track dev programs python)
set(CPACK_COMPONENT_DEV_DEPENDS platform track)
set(CPACK_COMPONENT_TRACK_DEPENDS platform)
set(CPACK_COMPONENT_PROGRAMS_DEPENDS platform track)
set(CPACK_COMPONENT_PYTHON_DEPENDS programs platform track)

# The library packages: shlibs files for the packages that link them, and the ldconfig trigger.
set(library_packages)
foreach(component platform track)
  string(TOUPPER ${component} upper)
  set(package libmorvane-${component}${PROJECT_VERSION_MAJOR})
  list(APPEND library_packages ${package})
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
  set(CPACK_DEBIAN_${upper}_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_${upper}_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
endforeach()
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The programs' package is made before the libraries are installed: dpkg-shlibdeps
# finds them in the build tree (and takes their package from the Depends above).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/platform ${PROJECT_BINARY_DIR}/track)

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libmorvane-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME morvane)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-morvane)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
# The Python package needs Debian's Python 3 with numpy, which no linked library names.
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3, python3-numpy")

string(CONCAT common_description
  "Morvane is an in-process component that tracks sparse image features between\n"
  "grey frames with pyramidal Lucas-Kanade optical flow, on a platform runtime of\n"
  "its own with kernel, registry, component-system and automation services.\n")
string(CONCAT CPACK_DEBIAN_PLATFORM_DESCRIPTION
  "feature tracker platform runtime - shared library\n" ${common_description}
  "\n"
  "This package holds the platform runtime, libmorvane-platform.so.1, which the\n"
  "component, its clients and the programs share.")
string(CONCAT CPACK_DEBIAN_TRACK_DESCRIPTION
  "feature tracker sequence engine - shared library\n" ${common_description}
  "\n"
  "This package holds the sequence engine, libmorvane-track.so.1: features\n"
  "followed through whole videos and image sequences, with detection, checks and\n"
  "padding.")
string(CONCAT CPACK_DEBIAN_DEV_DESCRIPTION
  "feature tracker platform runtime - development files\n" ${common_description}
  "\n"
  "This package holds what clients build with: the runtime's headers and the\n"
  "component's morvane.h in /usr/include/morvane, the sequence engine's\n"
  "morvane_track.h, the pkg-config files morvane and morvane-track, the CMake\n"
  "package Morvane and the link-time symlinks of both libraries.")
string(CONCAT CPACK_DEBIAN_PROGRAMS_DESCRIPTION
  "feature tracker component and programs\n" ${common_description}
  "\n"
  "This package holds the component Morvane.so, registered for every user when\n"
  "the package is installed, and the programs with their manual pages:\n"
  " regsvr        registers and unregisters components;\n"
  " reg           reads and edits the registry;\n"
  " morvane-track tracks features through videos and image sequences;\n"
  " trackdemo     the demonstration, with sample frames in\n"
  "               /usr/share/morvane/samples.\n"
  "The libraries are in libmorvane-platform1 and libmorvane-track1, the files to\n"
  "build clients with in libmorvane-dev, the Python 3 package in python3-morvane.")
string(CONCAT CPACK_DEBIAN_PYTHON_DESCRIPTION
  "feature tracker component - Python 3 package\n" ${common_description}
  "\n"
  "This package holds the Python 3 package morvane: the registered automation\n"
  "components from Python, a numpy face for the feature tracker, and whole\n"
  "sequences through the sequence engine.")

# The programs' package registers the component for every user in the machine
# registry when it is installed, and removes that registration when it is removed;
# registering needs regsvr, which it holds. Its programs read the machine registry
# where the build tree was configured to, so packages come from a tree configured
# for /usr.
set(MORVANE_PACKAGE_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX ${MORVANE_PACKAGE_PREFIX})
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_CONTROL_EXTRA)
foreach(script postinst prerm postrm)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/${script}.in ${PROJECT_BINARY_DIR}/debian/${script} @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  list(APPEND CPACK_DEBIAN_PROGRAMS_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/${script})
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/check_prefix.cmake.in ${PROJECT_BINARY_DIR}/debian/check_prefix.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/debian/check_prefix.cmake)
# CPack gives a library package maintainer scripts that call ldconfig; the trigger
# does that now, so they are taken out once the packages are made.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/drop_ldconfig_calls.cmake.in
  ${PROJECT_BINARY_DIR}/debian/drop_ldconfig_calls.cmake @ONLY)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/debian/drop_ldconfig_calls.cmake)

# Every package's documentation folder: the licence in Debian's machine-readable
# form and the Debian changelog, compressed as Debian wants it; and its lintian
# overrides, each with its reason.
set(changelog ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${MORVANE_GZIP} -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/debian/changelog > ${changelog}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
add_custom_target(morvane-debian-changelog ALL DEPENDS ${changelog})
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${changelog}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides.in ${PROJECT_BINARY_DIR}/debian/overrides/${package}
    @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/debian/overrides/${package}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${component})
endforeach()

# `--target package_source` packs the checkout without build trees and local state.
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build/" "/stage/" "/\\.registry/")
include(CPack)
