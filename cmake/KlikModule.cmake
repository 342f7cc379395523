# klik_module(NAME SOURCES ... [DEPS ...] [PKG ...])
# A static library klik_NAME from SOURCES, with src/ on the include path,
# linked to the klik libraries and pkg-config packages given, and added to
# klik_core.
function(klik_module name)
  cmake_parse_arguments(K "" "" "SOURCES;DEPS;PKG" ${ARGN})
  add_library(klik_${name} STATIC ${K_SOURCES})
  target_include_directories(klik_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  foreach(d IN LISTS K_DEPS)
    target_link_libraries(klik_${name} PUBLIC ${d})
  endforeach()
  foreach(p IN LISTS K_PKG)
    string(MAKE_C_IDENTIFIER ${p} pid)
    if(NOT TARGET PkgConfig::${pid})
      pkg_check_modules(${pid} REQUIRED IMPORTED_TARGET GLOBAL ${p})
    endif()
    target_link_libraries(klik_${name} PUBLIC PkgConfig::${pid})
  endforeach()
  target_link_libraries(klik_core INTERFACE klik_${name})
endfunction()

# klik_tests: every test binary and, through their own dependencies, the
# programs they run; `cmake --build B --target klik_tests` builds those and
# nothing else (no benchmarks, no artwork generator). The sanitizer builds
# use it. klik_test() adds its binary; other test binaries call
# klik_add_test_binary(NAME).
function(klik_add_test_binary name)
  if(NOT TARGET klik_tests)
    add_custom_target(klik_tests)
  endif()
  add_dependencies(klik_tests ${name})
endfunction()

# In the ThreadSanitizer build, teaches the checker the timed lock libstdc++
# uses (see the file) in test binary NAME. The file defines a C library
# function, so it is kept out of the unity batches of the tests' code.
function(klik_tsan_clock_lock name)
  if(KLIK_SANITIZE_THREAD)
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/testing/support/TsanClockLock.cpp)
    set_source_files_properties(${CMAKE_SOURCE_DIR}/testing/support/TsanClockLock.cpp TARGET_DIRECTORY ${name}
                                PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
endfunction()

# klik_test(NAME SOURCES ... [DEPS ...]): a GoogleTest binary registered with ctest.
function(klik_test name)
  cmake_parse_arguments(K "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${K_SOURCES})
  target_link_libraries(${name} PRIVATE ${K_DEPS} klik_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  klik_tsan_clock_lock(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS core)
  klik_add_test_binary(${name})
endfunction()
