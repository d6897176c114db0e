# Packages what the install rules install (the program, its manual page, the
# README and the licence as the copyright file): `cpack` in the build folder
# makes a .tar.gz and, on a Debian system (one with dpkg), a .deb whose Depends
# line comes from the libraries the program links; a .zip for Windows. Whether
# the .deb can be made is decided when cpack runs (cpack_project.cmake), so
# installing its tools needs no new configure.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines under 80 columns: the .deb's description keeps them as they are.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "It computes the square root of a non-negative 32-bit integer to as many\n"
  "decimal places as asked, by the long-hand digit-by-digit method on a\n"
  "big-integer type of its own, and writes every step to a run log, log.txt.\n"
  "Its console texts and its log are Big5 (Traditional Chinese); --utf8\n"
  "writes them in UTF-8.")
set(CPACK_PACKAGE_CONTACT "The longsqrt authors <longsqrt@users.noreply.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
  find_program(LONGSQRT_DPKG dpkg)
  mark_as_advanced(LONGSQRT_DPKG)
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND LONGSQRT_DPKG)
    list(APPEND CPACK_GENERATOR DEB)
  elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    message(STATUS "longsqrt: no dpkg here, so cpack makes the .tar.gz but no .deb")
  endif()
endif()

# What the cpack-time scripts need: they run in the packaging folders, not here.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_project.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack_debian_files.cmake)
set(CPACK_LONGSQRT_CHANGELOG ${PROJECT_SOURCE_DIR}/doc/changelog)
set(CPACK_LONGSQRT_DOCDIR ${CMAKE_INSTALL_DOCDIR})
set(CPACK_LONGSQRT_MANPAGE ${CMAKE_INSTALL_MANDIR}/man1/longsqrt.1)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
