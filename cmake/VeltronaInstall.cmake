# Where the program finds what it needs at run time, relative to its own folder, so that an
# installation runs from any prefix: bin/veltrona, lib/veltrona/ (the plug-in and the shared COM
# layer, private to the program), share/veltrona/ (catalogue, help). The build tree mirrors it.
include(GNUInstallDirs)
set(VELTRONA_INSTALL_LIBDIR lib/veltrona)
set(VELTRONA_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/veltrona)
set(VELTRONA_BUILD_BINDIR ${CMAKE_BINARY_DIR}/bin)
set(VELTRONA_BUILD_LIBDIR ${CMAKE_BINARY_DIR}/lib/veltrona)
set(VELTRONA_BUILD_DATADIR ${CMAKE_BINARY_DIR}/share/veltrona)
