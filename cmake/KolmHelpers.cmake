# Common compile settings and helpers for modules, tests, benchmarks and fuzzers.

add_library(kolm_options INTERFACE)
target_compile_options(kolm_options INTERFACE -Wall -Wextra)
if(KOLM_WERROR)
  target_compile_options(kolm_options INTERFACE -Werror)
endif()
if(KOLM_ASSERTS)
  target_compile_definitions(kolm_options INTERFACE KOLM_ASSERTS=1)
endif()
if(KOLM_SANITIZE)
  target_compile_options(kolm_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                         -fno-sanitize-recover=undefined)
  target_link_options(kolm_options INTERFACE -fsanitize=address,undefined)
endif()
if(KOLM_FUZZ)
  # Everything the fuzzers link is instrumented for coverage; the fuzz targets add the driver.
  target_compile_options(kolm_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(kolm_options INTERFACE -fsanitize=address,undefined)
endif()

# kolm_module(<name> DEPS <targets...>): static library kolm_<name> from every source in
# src/<name>/ (sub-folders included); its public include root is src/.
function(kolm_module name)
  cmake_parse_arguments(M "" "" "DEPS;PRIVATE_DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(ex ${M_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "${ex}")
  endforeach()
  if(srcs)
    add_library(kolm_${name} STATIC ${srcs})
    target_include_directories(kolm_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(kolm_${name} PUBLIC kolm_options ${M_DEPS} PRIVATE ${M_PRIVATE_DEPS})
  else()
    # A module whose sources have not landed yet: headers only.
    add_library(kolm_${name} INTERFACE)
    target_include_directories(kolm_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(kolm_${name} INTERFACE kolm_options ${M_DEPS} ${M_PRIVATE_DEPS})
  endif()
endfunction()

# kolm_test(<name> LABEL unit|null|gl SOURCES ... DEPS ...): a GoogleTest executable
# registered with CTest under the given label. GL tests need a display (the test script
# starts Xvfb); unit and null tests never touch X.
function(kolm_test name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(T_LABEL STREQUAL "gl")
    # GL programs start through gl_main.cpp: no display means "skipped" (code 77), never "passed".
    add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/gl_main.cpp)
    target_link_libraries(${name} PRIVATE kolm_options ${T_DEPS} GTest::gtest GTest::gmock kolm::x11)
  else()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE kolm_options ${T_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    KOLM_TEST_DATA_DIR="${KOLM_TEST_DATA_DIR}" KOLM_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KOLM_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()

  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set_tests_properties(${name} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
  if(T_LABEL STREQUAL "gl")
    # Windows of one GL test must not meet another's (they share titles and the X server).
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
    if(KOLM_SANITIZE)
      # No leak checking with a GL driver loaded: Mesa unloads its driver before exit (its own
      # leaks can then not be told from ours) and the leak checker's thread tracer now and then
      # crashes on llvmpipe's worker threads. The unit and null tiers check leaks.
      set_tests_properties(${name} PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1")
    endif()
  endif()
endfunction()

# kolm_bench(<name> SOURCES ... DEPS ...): a Google Benchmark executable under bin/bench.
function(kolm_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE kolm_options ${B_DEPS} benchmark::benchmark benchmark::benchmark_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# kolm_fuzz(<name> SOURCES ... DEPS ...): a libFuzzer target (clang only).
function(kolm_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE kolm_options ${F_DEPS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
