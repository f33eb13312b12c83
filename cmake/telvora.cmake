# The sanitizer options every test of an instrumented build runs with, as one
# ENVIRONMENT_MODIFICATION entry (VAR=set:VALUE; the programs a test starts
# inherit it). LeakSanitizer leaves out fontconfig's own caches, which it keeps
# until the process ends (Qt's font database loads it); ThreadSanitizer leaves
# out races inside Qt, whose locks it can't see (docs/sanitizers.md).
set(TELVORA_SANITIZER_ENV "")
if(TELVORA_SANITIZE OR (TELVORA_FUZZ_ENGINE AND TELVORA_FUZZ_SANITIZE))
  set(TELVORA_SANITIZER_ENV
      "LSAN_OPTIONS=set:suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0")
elseif(TELVORA_SANITIZE_THREAD)
  set(TELVORA_SANITIZER_ENV
      "TSAN_OPTIONS=set:suppressions=${CMAKE_SOURCE_DIR}/tools/tsan.supp:second_deadlock_stack=1")
endif()

# telvora_test(NAME SOURCES... [LIBS lib...]): one GoogleTest program whose
# cases CTest lists one by one.
function(telvora_test name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Each property a single value: the discovery script would split a list.
  set(properties ENVIRONMENT "TELVORA_BIN=${CMAKE_BINARY_DIR}/bin")
  if(TELVORA_SANITIZER_ENV)
    list(APPEND properties ENVIRONMENT_MODIFICATION "${TELVORA_SANITIZER_ENV}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES ${properties})
endfunction()

# telvora_service(NAME [SOURCES ...] [PUBLIC_HEADERS ...] [DEPENDS service...] [LIBS lib...]):
# one desktop-OS service in platform/NAME, an object library (tv_NAME) whose
# objects go into the shared platform library. DEPENDS names the services it
# builds on; LIBS the outside libraries only it uses. PUBLIC_HEADERS (paths
# inside the folder) are the only headers that code outside the folder may
# include: every other header is the service's own, and the layering check
# (cmake/check_layering.cmake) fails the tests when one is included from
# elsewhere.
function(telvora_service name)
  cmake_parse_arguments(S "" "" "SOURCES;PUBLIC_HEADERS;DEPENDS;LIBS" ${ARGN})
  add_library(tv_${name} OBJECT ${S_SOURCES})
  foreach(dep IN LISTS S_DEPENDS)
    target_link_libraries(tv_${name} PUBLIC tv_${dep})
  endforeach()
  target_link_libraries(tv_${name} PUBLIC Threads::Threads PRIVATE ${S_LIBS})
  target_link_libraries(tv_platform PRIVATE tv_${name} ${S_LIBS})
  foreach(header IN LISTS S_PUBLIC_HEADERS)
    set_property(GLOBAL APPEND PROPERTY TELVORA_PUBLIC_HEADERS "platform/${name}/${header}")
  endforeach()
endfunction()
