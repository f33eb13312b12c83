# Installation rules and the Debian package (./run package: cpack -G DEB in a
# Release build folder of its own, see docs/packaging.md).
#
# The programs, the update control and the platform libraries go into one
# private folder, /usr/lib/telvora: telvora-setup finds install, lesson,
# telvora-ocx and libcorvane.so beside its real file, libtelvora-platform.so
# loads libtelvora-qt.so from beside itself, and every one of them finds the
# platform library through RUNPATH $ORIGIN. The telvora-* tools get relative
# links in /usr/bin; the links resolve to the private folder, so each tool
# still finds the others beside its real file.

# The installation rules exist only in a package build: with them CMake makes
# a target named "install", which Ninja can't tell from the installer's own
# short name (bin/install), so a package build uses Makefiles.
option(TELVORA_PACKAGE "Add the installation rules and the Debian package (cpack)" OFF)

# The icon of the courses' menu entries. The build tree keeps a copy in
# share/ beside bin/, where telvora-setup finds it when it runs from there.
set(course_icon ${CMAKE_SOURCE_DIR}/tools/setup/icons/telvora-course.svg)
set(icon_dir share/icons/hicolor/scalable/apps)
configure_file(${course_icon} ${CMAKE_BINARY_DIR}/${icon_dir}/telvora-course.svg COPYONLY)

set(telvora_private_dir lib/telvora)
# Programs users never start by name: telvora-setup links them into each
# course. ("install" in /usr/bin would hide coreutils' install.)
set(telvora_programs install_program lesson)
set(telvora_tools telvora-setup telvora-reg telvora-ocx telvora-update-server telvora-pack
                  telvora-extract telvora-sample-course)
# The course browser, where Qt WebEngine is there to build it.
if(TARGET telvora-browser)
  list(APPEND telvora_tools telvora-browser)
endif()
set(telvora_modules corvane)
if(TARGET telvora-qt)
  list(APPEND telvora_modules telvora-qt)
endif()

# Every tool's options are in its man page: the check runs each tool's
# --help and looks for each option it lists.
if(BUILD_TESTING)
  add_test(NAME man_pages_name_every_option
           COMMAND ${CMAKE_COMMAND} -DBIN=${CMAKE_BINARY_DIR}/bin
                   -DMAN=${CMAKE_SOURCE_DIR}/docs/man "-DTOOLS=${telvora_tools}"
                   -P ${CMAKE_SOURCE_DIR}/cmake/check_man_pages.cmake)
endif()

if(NOT TELVORA_PACKAGE)
  set(CMAKE_SKIP_INSTALL_RULES ON)
  return()
endif()
if(CMAKE_GENERATOR MATCHES "Ninja")
  message(FATAL_ERROR "TELVORA_PACKAGE needs the Unix Makefiles generator (-G \"Unix Makefiles\"): "
                      "Ninja can't have both CMake's install target and the program bin/install.")
endif()

set(TELVORA_VERSION "1.0.0" CACHE STRING "Version of the installed system and its package")
set(telvora_maintainer "Telvora courseware developers <maintainers@telvora.org>")
set(TELVORA_PACKAGE_MAINTAINER ${telvora_maintainer} CACHE STRING "Maintainer field of the Debian package")
# A build folder configured before the maintainer had a real address.
if(TELVORA_PACKAGE_MAINTAINER STREQUAL "Telvora courseware developers <telvora@localhost>")
  set(TELVORA_PACKAGE_MAINTAINER ${telvora_maintainer} CACHE STRING "Maintainer field of the Debian package" FORCE)
endif()

# The Debian changelog (packaging/changelog) names the package's version:
# TELVORA_VERSION and the package's own revision after "-". A new version
# needs its entry there first.
set(debian_changelog ${CMAKE_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${debian_changelog})
file(STRINGS ${debian_changelog} changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^telvora \\(([^)]+)-([^-)]+)\\) ")
  message(FATAL_ERROR "packaging/changelog: the first line is not \"telvora (VERSION-REVISION) ...\"")
endif()
set(changelog_version ${CMAKE_MATCH_1})
set(TELVORA_PACKAGE_REVISION ${CMAKE_MATCH_2})
if(NOT changelog_version STREQUAL TELVORA_VERSION)
  message(FATAL_ERROR "packaging/changelog's newest entry is for ${changelog_version}, TELVORA_VERSION is "
                      "${TELVORA_VERSION}: add an entry for ${TELVORA_VERSION}-1 at its top.")
endif()

set_target_properties(${telvora_programs} ${telvora_tools} ${telvora_modules} tv_platform
                      PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${telvora_programs} ${telvora_tools} RUNTIME DESTINATION ${telvora_private_dir})
install(TARGETS tv_platform ${telvora_modules} LIBRARY DESTINATION ${telvora_private_dir})
# Stripped as Debian strips (the package's CPACK_STRIP_FILES, or
# cmake --install --strip): CMake's own strip leaves the compiler's .comment
# and .note sections behind.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB private_files \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${telvora_private_dir}/*\")
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                            \${private_files} COMMAND_ERROR_IS_FATAL ANY)
  endif()")

set(link_dir ${CMAKE_BINARY_DIR}/package/bin-links)
file(MAKE_DIRECTORY ${link_dir})
foreach(tool IN LISTS telvora_tools)
  file(CREATE_LINK ../${telvora_private_dir}/${tool} ${link_dir}/${tool} SYMBOLIC)
  install(FILES ${link_dir}/${tool} DESTINATION bin)
endforeach()

# The icon, in the theme every desktop searches.
install(FILES ${course_icon} DESTINATION ${icon_dir})

# Man pages, compressed as Debian keeps them.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/package/man)
file(GLOB man_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/*.[1-8])
set(man_outputs)
foreach(page IN LISTS man_sources)
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE ".*\\.([1-8])$" "\\1" section ${name})
  set(out ${CMAKE_BINARY_DIR}/package/man/${name}.gz)
  add_custom_command(OUTPUT ${out}
                     COMMAND gzip -9n -c ${page} > ${out}
                     DEPENDS ${page}
                     COMMENT "Compressing the man page ${name}")
  list(APPEND man_outputs ${out})
  install(FILES ${out} DESTINATION share/man/man${section})
endforeach()
add_custom_target(telvora_man_pages ALL DEPENDS ${man_outputs})

file(GLOB doc_pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${doc_pages} DESTINATION share/doc/telvora)

# The package's copyright (DEP-5) and its changelog, compressed as Debian
# keeps it (-n: no name or time in the header, so the same text gives the
# same file).
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/telvora)
set(changelog_gz ${CMAKE_BINARY_DIR}/package/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog_gz}
                   COMMAND gzip -9n -c ${debian_changelog} > ${changelog_gz}
                   DEPENDS ${debian_changelog}
                   COMMENT "Compressing the Debian changelog")
add_custom_target(telvora_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION share/doc/telvora)
# Lintian's findings that don't apply to this package, each with its reason.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION share/lintian/overrides
        RENAME telvora)

# --- telvora-update-server's deployment (docs/update-server.md) -------------
# The systemd unit (one instance per port), its account for systemd-sysusers
# and the nginx site that serves the folder in front of the instances. The
# site is an example to copy into /etc/nginx, not a live configuration.
set(update_server_deploy ${CMAKE_SOURCE_DIR}/tools/update-server/deploy)
install(FILES ${update_server_deploy}/telvora-update-server@.service
        DESTINATION lib/systemd/system)
install(FILES ${update_server_deploy}/telvora-update.sysusers
        DESTINATION lib/sysusers.d RENAME telvora-update-server.conf)
install(FILES ${update_server_deploy}/telvora-update.nginx DESTINATION share/telvora/nginx)
# --- end of telvora-update-server's deployment ------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telvora)
set(CPACK_PACKAGE_VERSION ${TELVORA_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TELVORA_PACKAGE_REVISION})
set(CPACK_PACKAGE_CONTACT ${TELVORA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TELVORA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis, and the extended description as plain text: CPack puts the
# synopsis first and writes each line of the text as a control-file line (a
# space before it, " ." for an empty line). A line that starts with a space
# would be shown verbatim.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "multimedia courseware from CD-ROMs, with online updates")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Telvora courses ship on one or more CD-ROMs and are viewed as HTML pages in
a browser. telvora-setup installs a course from its CDs (running the course
installer once per disc), puts it into the desktop's menu and removes it
again; the launcher opens the course and its update control fetches and
applies update packages from an update server.

Also included: telvora-update-server (an HTTP server for update packages,
with a systemd unit and an nginx site), telvora-pack and telvora-extract
(RAR archives of packages), telvora-reg (the system's registry from the
shell), telvora-ocx (component registration and calls), telvora-browser
(the course browser, on Qt WebEngine, which runs the courses' pages, their
VBScript and update control) and telvora-sample-course (a two-CD sample
course).")
# The libraries the programs link come from dpkg-shlibdeps (the private
# folder is searched for the system's own); a Chinese font for the windows,
# xdg-open for the course's browser.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/_CPack_Packages/Linux/DEB/${CPACK_PACKAGE_NAME}-${TELVORA_VERSION}-Linux/usr/${telvora_private_dir})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "www-browser")
# Maintainer scripts of our own: CPack's would run ldconfig for any library
# under /usr/lib, and the platform libraries are private (RUNPATH $ORIGIN,
# no shlibs). Ours tell a running systemd about the update server's unit.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst
                                       ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
