# Debian packages the project builds on. OpenCV's Debian split packages ship no
# CMake configuration, so its libraries are found directly when the config is absent.
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)

find_package(OpenCV QUIET COMPONENTS core imgproc video)
if(OpenCV_FOUND)
  add_library(morvane_opencv INTERFACE)
  target_include_directories(morvane_opencv SYSTEM INTERFACE ${OpenCV_INCLUDE_DIRS})
  target_link_libraries(morvane_opencv INTERFACE opencv_core opencv_imgproc opencv_video)
else()
  find_path(MORVANE_OPENCV_INCLUDE opencv2/video/tracking.hpp PATH_SUFFIXES opencv4 REQUIRED)
  add_library(morvane_opencv INTERFACE)
  target_include_directories(morvane_opencv SYSTEM INTERFACE ${MORVANE_OPENCV_INCLUDE})
  foreach(module core imgproc video)
    find_library(MORVANE_OPENCV_${module} opencv_${module} REQUIRED)
    target_link_libraries(morvane_opencv INTERFACE ${MORVANE_OPENCV_${module}})
  endforeach()
endif()

pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(LIBFFI REQUIRED IMPORTED_TARGET libffi)

if(MORVANE_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  include(MorvaneTesting)
endif()
if(MORVANE_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()

find_package(Qt6 REQUIRED COMPONENTS Widgets)
