# How the fuzz targets get their main() and their coverage (fuzz/README.md).
# TELVORA_FUZZ_DRIVER is one of
#   replay    replay_main.cpp runs saved inputs: ordinary builds, and the
#             classic afl-g++, which can't link AFL++'s driver (AFL++ then
#             hands each input over as a file, @@);
#   trace-pc  TELVORA_FUZZ_ENGINE with plain GCC: the whole tree is compiled
#             with -fsanitize-coverage=trace-pc, fuzz/afl_trace_pc.cpp turns
#             those calls into AFL++'s edge map, and AFL++'s runtime and
#             libFuzzer-compatible driver give the fork server and the
#             persistent loop;
#   afl       afl-g++-fast: AFL++'s compiler instruments and links its driver
#             for -fsanitize=fuzzer.
set(TELVORA_AFL_PATH "/usr/lib/afl" CACHE PATH "Folder of AFL++'s runtime (afl-compiler-rt.o, libAFLDriver.a)")

set(TELVORA_FUZZ_DRIVER replay)
if(TELVORA_FUZZ_ENGINE)
  get_filename_component(fuzz_compiler_name "${CMAKE_CXX_COMPILER}" NAME)
  if(fuzz_compiler_name MATCHES "^afl-")
    if(fuzz_compiler_name MATCHES "-fast")
      set(TELVORA_FUZZ_DRIVER afl)
    endif()
  else()
    set(TELVORA_FUZZ_DRIVER trace-pc)
    foreach(part afl-compiler-rt.o libAFLDriver.a)
      if(NOT EXISTS "${TELVORA_AFL_PATH}/${part}")
        message(FATAL_ERROR "TELVORA_FUZZ_ENGINE needs AFL++'s ${part} in ${TELVORA_AFL_PATH} "
                            "(apt-get install afl++, or set TELVORA_AFL_PATH).")
      endif()
    endforeach()
    add_compile_options(-fsanitize-coverage=trace-pc)
    # Only the fuzz targets are linked with AFL++'s runtime, which the
    # instrumented code calls: build those targets only, and no tests.
    set(BUILD_TESTING OFF CACHE BOOL "Build the testing tree." FORCE)
  endif()
  message(STATUS "Fuzz targets for AFL++ (${fuzz_compiler_name}), main from: ${TELVORA_FUZZ_DRIVER}")
endif()
