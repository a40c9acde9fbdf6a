# Installs the program, its man page and its documents in the usual tree under
# the prefix, and packages the same files as a .deb (on Linux) and a .tar.gz.
set(CMAKE_INSTALL_DOCDIR share/doc/tarvelin CACHE PATH "Documentation (share/doc/tarvelin)")
include(GNUInstallDirs)
# Directories made by the install are world-readable whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(TARVELIN_MAINTAINER "Tarvelin maintainers <maintainers@tarvelin.invalid>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# The man page carries the version and the date of the build (SOURCE_DATE_EPOCH when set).
string(TIMESTAMP TARVELIN_DATE "%Y-%m-%d" UTC)
configure_file(packaging/tarvelin.1.in tarvelin.1 @ONLY)

install(TARGETS tarvelin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tarvelin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME tarvelin)
set(CPACK_PACKAGE_VENDOR "Tarvelin")
set(CPACK_PACKAGE_CONTACT "${TARVELIN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rapid approach moves in front of the plunges of NC programs")
set(CPACK_PACKAGE_DESCRIPTION "\
Tarvelin shortens the air-cutting time of NC milling programs (G-code).
For each program it writes a copy with a rapid move (G00 Z) in front of
each feed-rate plunge that follows a retract and a rapid XY move: down to
just above the depth of the previous pass, so that the plunge only cuts
the last stretch. Every other line is copied unchanged.

With --words it reads any common G-code style, and with --stdout it
serves as a LinuxCNC program filter.")
set(CPACK_PACKAGE_FILE_NAME "tarvelin-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_STRIP_FILES ON)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB TGZ)
else()
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# CPack needs both tools to compute the dependencies; the program links the C++
# runtime statically, so without them the C library is all it needs.
find_program(TARVELIN_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(TARVELIN_FILE file)
if(TARVELIN_DPKG_SHLIBDEPS AND TARVELIN_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6")
endif()

# Debian's conventions for the .deb alone (compressed man page and changelog, no
# compiler notes in the program) are met by cmake/deb_staging.cmake in the
# .deb's staging folder, so that "cmake --install" gives plain files.
string(TIMESTAMP TARVELIN_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/changelog.in changelog @ONLY)
set(CPACK_TARVELIN_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/changelog)
set(CPACK_TARVELIN_MANDIR ${CMAKE_INSTALL_MANDIR})
set(CPACK_TARVELIN_DOCDIR ${CMAKE_INSTALL_DOCDIR})
set(CPACK_TARVELIN_BINDIR ${CMAKE_INSTALL_BINDIR})
set(CPACK_TARVELIN_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_staging.cmake)
include(CPack)
