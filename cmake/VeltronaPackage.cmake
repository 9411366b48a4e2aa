# The desktop integration, the man page and the Debian package.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(VELTRONA_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/resources/desktop)

# Compressed without a time stamp, so that two builds give the same bytes.
function(veltrona_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${GZIP_PROGRAM} -9nc ${source} > ${output}
        DEPENDS ${source} VERBATIM)
endfunction()
veltrona_gzip(${VELTRONA_DESKTOP_DIR}/veltrona.1 ${CMAKE_BINARY_DIR}/doc/veltrona.1.gz)
veltrona_gzip(${VELTRONA_DESKTOP_DIR}/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/doc)
add_custom_target(veltrona_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/veltrona.1.gz ${CMAKE_BINARY_DIR}/doc/changelog.gz)

install(FILES ${VELTRONA_DESKTOP_DIR}/veltrona.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VELTRONA_DESKTOP_DIR}/veltrona.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_BINARY_DIR}/doc/veltrona.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VELTRONA_DESKTOP_DIR}/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/veltrona)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrona)
set(CPACK_PACKAGE_VENDOR "Veltrona")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator of the Veltrona R3 KNX-to-DALI lighting gateway")
set(CPACK_PACKAGE_DESCRIPTION "Configures, commissions and tests the Veltrona R3 KNX-to-DALI lighting
gateway: general settings, groups, single devices, DALI control gear, scenes,
light effects and emergency lamps, stored in a KNX project. Includes a
substitute engineering host with an SQLite project store and a simulated
gateway for trying everything without a bus.")
set(CPACK_PACKAGE_CONTACT "Veltrona configurator developers <configurator@veltrona.example>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://veltrona.example/configurator")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The private libraries of lib/veltrona are found by dpkg-shlibdeps through the program's RUNPATH.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_PREFIX}/${VELTRONA_INSTALL_LIBDIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
