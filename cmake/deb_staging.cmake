# Run by CPack in each package's staging folder before it packs it. A Debian
# package keeps its man page and its changelog gzip-compressed, without a name
# or a time stamp in the gzip header; the .tar.gz keeps the tree that
# "cmake --install" gives.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
file(COPY "${CPACK_TARVELIN_CHANGELOG}" DESTINATION "${root}/${CPACK_TARVELIN_DOCDIR}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
foreach(file "${CPACK_TARVELIN_MANDIR}/man1/tarvelin.1" "${CPACK_TARVELIN_DOCDIR}/changelog")
  execute_process(COMMAND gzip -9n "${root}/${file}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# What Debian's own packaging tools strip besides the symbols: compiler notes.
if(CPACK_TARVELIN_STRIP)
  execute_process(
    COMMAND "${CPACK_TARVELIN_STRIP}" --remove-section=.comment --remove-section=.note
            "${root}/${CPACK_TARVELIN_BINDIR}/tarvelin"
    COMMAND_ERROR_IS_FATAL ANY)
endif()
