# Installs the program, its man page and its documents in the usual tree under the prefix.
set(CMAKE_INSTALL_DOCDIR share/doc/tarvelin CACHE PATH "Documentation (share/doc/tarvelin)")
include(GNUInstallDirs)
# Directories made by the install are world-readable whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The man page carries the version and the date of the build (SOURCE_DATE_EPOCH when set).
string(TIMESTAMP TARVELIN_DATE "%Y-%m-%d" UTC)
configure_file(packaging/tarvelin.1.in tarvelin.1 @ONLY)

install(TARGETS tarvelin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tarvelin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
