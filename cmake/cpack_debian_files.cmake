# Run by cpack on the files it is about to package. A .deb follows Debian's
# rules for documentation: the manual page compressed, and a compressed
# changelog beside the copyright file (gzip -9n: best compression, no name or
# time stamp in the header, so the same sources make the same package).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(longsqrt_root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(longsqrt_changelog "${longsqrt_root}/${CPACK_LONGSQRT_DOCDIR}/changelog")
file(COPY_FILE "${CPACK_LONGSQRT_CHANGELOG}" "${longsqrt_changelog}")
foreach(longsqrt_file IN ITEMS "${longsqrt_root}/${CPACK_LONGSQRT_MANPAGE}" "${longsqrt_changelog}")
  execute_process(COMMAND gzip -9nf "${longsqrt_file}" RESULT_VARIABLE longsqrt_status)
  if(NOT longsqrt_status EQUAL 0)
    message(FATAL_ERROR "longsqrt: gzip -9n ${longsqrt_file} failed: ${longsqrt_status}")
  endif()
endforeach()
