# The layering of the tree, checked over the sources (cmake -P):
#   cmake -DROOT=<tree> -DPUBLIC_HEADERS=<file> -P check_layering.cmake
# 1. Code above platform/ (common/, install/, corvane/, lesson/, tools/, their
#    tests aside) includes no POSIX, Qt, curl, SQLite or libarchive header:
#    such services are the platform's.
# 2. A platform header is included from outside its own service folder only
#    when the service lists it among its public headers (PUBLIC_HEADERS holds
#    one "platform/<service>/<header>" a line); a service's test fixtures
#    (its tests/ folder) may serve other tests.
# Prints each violation and fails when there is one.
cmake_minimum_required(VERSION 3.25)

if(NOT ROOT OR NOT PUBLIC_HEADERS)
  message(FATAL_ERROR "usage: cmake -DROOT=<tree> -DPUBLIC_HEADERS=<file> -P check_layering.cmake")
endif()
file(STRINGS "${PUBLIC_HEADERS}" public)

set(forbidden_system
    "^(unistd|fcntl|dlfcn|pthread|netdb|ifaddrs|spawn|dirent|poll|signal|termios|pwd|grp|glob|fnmatch|syslog|iconv|semaphore|sched|strings)\\.h$"
    "^(sys|arpa|netinet|net|linux)/"
    "^Q[A-Za-z]*$"
    "^Qt[A-Za-z]*/"
    "^curl/"
    "^sqlite3\\.h$"
    "^archive(_entry)?\\.h$")
set(upper_folders common install corvane lesson tools)
set(all_folders platform common install corvane lesson tools tests fuzz bench)

set(violations 0)
foreach(folder IN LISTS all_folders)
  if(NOT IS_DIRECTORY "${ROOT}/${folder}")
    continue()
  endif()
  file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.h")
  foreach(source IN LISTS sources)
    file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    set(upper FALSE)
    if(folder IN_LIST upper_folders AND NOT source MATCHES "/tests/")
      set(upper TRUE)
    endif()
    foreach(line IN LISTS includes)
      if(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
        set(header "${CMAKE_MATCH_1}")
        if(upper)
          foreach(pattern IN LISTS forbidden_system)
            if(header MATCHES "${pattern}")
              message("${source}: includes <${header}>, a system service only platform/ may use")
              math(EXPR violations "${violations} + 1")
              break()
            endif()
          endforeach()
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*\"(platform/([^/\"]+)/[^\"]+)\"")
        set(header "${CMAKE_MATCH_1}")
        set(service "${CMAKE_MATCH_2}")
        # Test fixtures of a service serve the tests of other folders too.
        set(shared_fixture FALSE)
        if(header MATCHES "/tests/" AND source MATCHES "(^|/)(tests|fuzz|bench)/")
          set(shared_fixture TRUE)
        endif()
        if(NOT source MATCHES "^platform/${service}/" AND NOT header IN_LIST public
           AND NOT shared_fixture)
          message("${source}: includes \"${header}\", a header internal to platform/${service}")
          math(EXPR violations "${violations} + 1")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations GREATER 0)
  message(FATAL_ERROR "${violations} layering violation(s)")
endif()
message("layering: no violation")
