# morvane_test(NAME SOURCES ... [LIBS ...]): one GoogleTest executable, registered with CTest.
function(morvane_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  morvane_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# morvane_installed_client_flags(OUT): compiler flags for a C client that a test
# builds against an installation. A sanitizer build's client needs the same
# sanitizer runtime as the installed libraries, including its C++ part.
function(morvane_installed_client_flags out)
  set(flags)
  if(MORVANE_SANITIZE)
    list(APPEND flags -fsanitize=${MORVANE_SANITIZE} -fno-omit-frame-pointer)
    if(CMAKE_C_COMPILER_ID MATCHES "Clang")
      list(APPEND flags -fsanitize-link-c++-runtime -lstdc++)
    endif()
  endif()
  set(${out} ${flags} PARENT_SCOPE)
endfunction()
