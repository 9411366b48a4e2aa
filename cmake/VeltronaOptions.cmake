# One interface target carries the compile options of every target of the project.
add_library(veltrona_options INTERFACE)
target_compile_features(veltrona_options INTERFACE cxx_std_20)
target_compile_options(veltrona_options INTERFACE
    -Wall -Wextra -pedantic -Wold-style-cast -Wnon-virtual-dtor -Wshadow=local -Wformat=2)

option(VELTRONA_WERROR "Treat warnings as errors" OFF)
if(VELTRONA_WERROR)
    target_compile_options(veltrona_options INTERFACE -Werror)
    target_compile_definitions(veltrona_options INTERFACE _GLIBCXX_ASSERTIONS)
endif()

option(VELTRONA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VELTRONA_SANITIZE)
    target_compile_options(veltrona_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(veltrona_options INTERFACE -fsanitize=address,undefined)
endif()

# Adds a GoogleTest executable of one subsystem and registers its cases with CTest.
function(veltrona_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE veltrona_options ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
endfunction()

# Makes a folder's headers reachable, as "folder/Header.h", to the target and to whatever links it,
# and to nothing else: each folder appears on the include path through a link of its own, so an
# include without a link edge behind it fails to compile.
function(veltrona_expose target folder)
    string(REPLACE "/" "_" key "${folder}")
    set(root "${CMAKE_BINARY_DIR}/expose/${key}")
    get_filename_component(parent "${root}/${folder}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    if(NOT EXISTS "${root}/${folder}")
        file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${root}/${folder}" SYMBOLIC)
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE "${root}")
    else()
        target_include_directories(${target} PUBLIC "${root}")
    endif()
endfunction()
