# Build switches shared by every target of the project.
option(MORVANE_BUILD_TESTS "Build the test suite" ON)
option(MORVANE_BUILD_BENCH "Build the benchmarks" OFF)
option(MORVANE_BUILD_FUZZ "Build the fuzz targets (needs clang)" OFF)
set(MORVANE_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined or thread")

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

# Warnings for the project's own code; added per target through morvane_warnings().
function(morvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion)
  # GCC 12 reports overlapping copies inside std::string concatenation that cannot happen
  # (its bug 105329); the warning stays on with other compilers.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
  endif()
endfunction()

if(MORVANE_SANITIZE)
  add_compile_options(-fsanitize=${MORVANE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${MORVANE_SANITIZE})
endif()

# The fuzz build instruments everything it compiles for coverage, so that each fuzz
# target is guided by every edge of the project's code it reaches, whichever library
# holds it. Programs that are not fuzz targets take the callbacks' empty defaults
# from the sanitizer runtime, so the fuzz build goes with MORVANE_SANITIZE.
if(MORVANE_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Every symbol is hidden unless a header marks it as part of a library's surface.
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
