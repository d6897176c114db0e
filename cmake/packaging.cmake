# Packages what the install rules install (the program, its manual page and
# the README): `cpack` in the build folder makes a .tar.gz and, where
# dpkg-shlibdeps is found (Debian package dpkg-dev), a .deb whose Depends line
# comes from the libraries the program links; a .zip for Windows.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "It computes the square root of a non-negative 32-bit integer to as many decimal places as asked, by the long-hand digit-by-digit method on a big-integer type of its own, and writes every step to a run log, log.txt. Its console texts and its log are Big5 (Traditional Chinese); --utf8 writes them in UTF-8.")
set(CPACK_PACKAGE_CONTACT "longsqrt developers <dev@longsqrt.local>")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
  find_program(LONGSQRT_DPKG_SHLIBDEPS dpkg-shlibdeps)
  mark_as_advanced(LONGSQRT_DPKG_SHLIBDEPS)
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND LONGSQRT_DPKG_SHLIBDEPS)
    list(APPEND CPACK_GENERATOR DEB)
  endif()
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
