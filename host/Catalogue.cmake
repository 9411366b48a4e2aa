# The product catalogue of the gateway's application program and its loader.
find_package(pugixml 1.13 REQUIRED CONFIG)

add_library(veltrona_catalogue STATIC ${CMAKE_CURRENT_LIST_DIR}/Catalogue.cpp)
target_link_libraries(veltrona_catalogue
    PUBLIC veltrona_platform veltrona_numbering
    PRIVATE pugixml::pugixml)
# The shipped data file is found in the source tree first, then beside the program.
target_compile_definitions(veltrona_catalogue PRIVATE
    VELTRONA_CATALOGUE_SOURCE_PATH="${CMAKE_CURRENT_LIST_DIR}/catalogue/VeltronaR3.catalogue.xml")

include(GNUInstallDirs)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/catalogue/VeltronaR3.catalogue.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/veltrona)

if(VELTRONA_TESTS)
    veltrona_add_gtest(catalogue_tests
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/CatalogueTests.cpp
        LIBS veltrona_catalogue)
endif()
