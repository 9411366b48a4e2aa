# The substitute host's project side: SQLite project store, host objects, sessions, the veltrona
# program's command line. (Included by host/CMakeLists.txt after the catalogue's targets.)
find_package(SQLite3 REQUIRED)

add_library(veltrona_host STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/Sqlite.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ProjectStore.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/CatalogueModel.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/DeviceContext.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HostCollection.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HostParameters.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HostObjects.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HostProject.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HostDevice.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HostServices.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HostSession.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ProjectFactory.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/VeltronaCommands.cpp)
# The export and import commands run the exchange file's code.
target_link_libraries(veltrona_host PUBLIC veltrona_catalogue veltrona_hostapi veltrona_trace veltrona_exchange
    SQLite::SQLite3)

add_executable(veltrona ${CMAKE_CURRENT_SOURCE_DIR}/VeltronaMain.cpp)
target_link_libraries(veltrona PRIVATE veltrona_host)

if(VELTRONA_TESTS)
    veltrona_add_gtest(host_store_tests
        SOURCES
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/ProjectStoreTests.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/HostObjectTests.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/HostSessionTests.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/VeltronaCommandTests.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/ShippedCatalogueHostTests.cpp
        LIBS veltrona_host veltrona_access veltrona_model)
    add_dependencies(host_store_tests veltrona)
    target_compile_definitions(host_store_tests PRIVATE VELTRONA_EXECUTABLE="$<TARGET_FILE:veltrona>")
endif()
