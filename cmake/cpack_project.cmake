# Read by cpack once for each package it makes. The .deb's Depends line comes
# from dpkg-shlibdeps, which needs the file program to find what to scan;
# without them CPack would make a .deb with no dependencies or none at all, so
# their absence stops the .deb here with what to install, after the .tar.gz.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(LONGSQRT_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(LONGSQRT_FILE file)
  set(longsqrt_missing "")
  if(NOT LONGSQRT_DPKG_SHLIBDEPS)
    list(APPEND longsqrt_missing "dpkg-shlibdeps (Debian package dpkg-dev)")
  endif()
  if(NOT LONGSQRT_FILE)
    list(APPEND longsqrt_missing "file (Debian package file)")
  endif()
  if(longsqrt_missing)
    list(JOIN longsqrt_missing " and " longsqrt_missing)
    message(FATAL_ERROR "longsqrt: no .deb made: it needs ${longsqrt_missing} to find its "
                        "dependencies, not installed here (apt-get install dpkg-dev file, then run "
                        "cpack again); cpack -G TGZ makes the .tar.gz alone")
  endif()
endif()
