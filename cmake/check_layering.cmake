# The layering of the tree, checked over the sources (cmake -P):
#   cmake -DROOT=<tree> -DPUBLIC_HEADERS=<file> -P check_layering.cmake
# 1. Code above platform/ (common/, install/, corvane/, lesson/, tools/, their
#    tests aside) includes no POSIX, Qt, curl, SQLite or libarchive header:
#    such services are the platform's.
# 2. A platform header is included from outside its own service folder only
#    when the service lists it among its public headers (PUBLIC_HEADERS holds
#    one "platform/<service>/<header>" a line); a service's test fixtures
#    (its tests/ folder) may serve other tests.
# 3. Qt is used directly by the platform's renderer (platform/), the course
#    browser (browser/) and the fuzz targets of the browser's parts, and by
#    nothing else.
# 4. The course browser (browser/) is a plain Qt program: of the platform it
#    uses only the text service (the one GBK conversion), none of the
#    Windows-like services.
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
set(all_folders platform common install corvane lesson tools tests fuzz bench browser)
set(qt_patterns "^Q[A-Za-z]*$" "^Qt[A-Za-z]*/")

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
        set(qt_allowed FALSE)
        if(folder STREQUAL "platform" OR folder STREQUAL "browser")
          set(qt_allowed TRUE)
        elseif(folder STREQUAL "fuzz")
          file(STRINGS "${ROOT}/${source}" browser_parts REGEX "#[ \t]*include[ \t]*\"browser/")
          if(browser_parts)
            set(qt_allowed TRUE)
          endif()
        endif()
        if(NOT qt_allowed AND NOT upper)
          foreach(pattern IN LISTS qt_patterns)
            if(header MATCHES "${pattern}")
              message("${source}: includes <${header}>: only the platform's renderer and the course browser use Qt")
              math(EXPR violations "${violations} + 1")
              break()
            endif()
          endforeach()
        endif()
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
        if(folder STREQUAL "browser" AND NOT service STREQUAL "text")
          message("${source}: includes \"${header}\": the course browser is a plain Qt program")
          math(EXPR violations "${violations} + 1")
        endif()
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
