# The veltrona program's window: the host's device list and the plug-in's editing session, with the
# demo gateway simulated in the process.
set_property(TARGET veltrona PROPERTY AUTOMOC ON)
target_sources(veltrona PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/HostMainWindow.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/PluginLoader.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/SimulatedGateway.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/DemoConfiguration.cpp)
target_link_libraries(veltrona PRIVATE veltrona_simulator veltrona_model Qt6::Widgets ${CMAKE_DL_LIBS})
# The plug-in is loaded at run time; building the program builds it too.
add_dependencies(veltrona veltrona_plugin)

if(VELTRONA_TESTS)
    veltrona_add_qtest(host_window_tests
        ${CMAKE_CURRENT_SOURCE_DIR}/tests/WindowedSessionTests.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/PluginLoader.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/SimulatedGateway.cpp)
    set_property(TARGET host_window_tests PROPERTY AUTOMOC ON)
    target_link_libraries(host_window_tests PRIVATE veltrona_host veltrona_simulator ${CMAKE_DL_LIBS})
    target_compile_definitions(host_window_tests PRIVATE VELTRONA_PLUGIN_PATH="$<TARGET_FILE:veltrona_plugin>")
    add_dependencies(host_window_tests veltrona_plugin)
endif()
