# Small helpers so every folder declares its targets the same way.

# velto_library(<name> ALIAS <ns::name> [SOURCES ...] [DEPS ...] [PRIVATE_DEPS ...])
# One library per folder. Header-only libraries pass no SOURCES.
function(velto_library name)
  cmake_parse_arguments(ARG "" "ALIAS" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS} velto_warnings)
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
  endif()
  if(ARG_ALIAS)
    add_library(${ARG_ALIAS} ALIAS ${name})
  endif()
endfunction()

# velto_test(<name> SOURCES ... DEPS ...)
# One GoogleTest binary per folder, registered with CTest case by case.
function(velto_test name)
  if(NOT VELTO_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest_main velto_warnings)
  # LeakSanitizer is told of the caches system libraries keep for the process's life.
  gtest_discover_tests(${name}
    PROPERTIES
      ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    DISCOVERY_TIMEOUT 60
    EXTRA_ARGS --gtest_brief=1)
endfunction()

# velto_fuzzer(<name> SOURCES ... DEPS ...)
# A libFuzzer target; only built with clang and VELTO_BUILD_FUZZERS.
function(velto_fuzzer name)
  if(NOT VELTO_BUILD_FUZZERS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} velto_warnings)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# velto_benchmark(<name> SOURCES ... DEPS ...)
function(velto_benchmark name)
  if(NOT VELTO_BUILD_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark velto_warnings)
endfunction()

# The hardening Debian builds its packages with (dpkg-buildflags, plus bindnow and
# PIE), for every target: stack protector, fortified libc calls, read-only
# relocations bound at start. glibc warns about _FORTIFY_SOURCE without
# optimisation, and its checked calls would bypass the sanitizers' interceptors.
if(VELTO_HARDENING)
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_options(-fstack-protector-strong)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
  if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
    set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
    add_compile_options($<${optimised}:-U_FORTIFY_SOURCE> $<${optimised}:-D_FORTIFY_SOURCE=2>)
    unset(optimised)
  endif()
endif()
