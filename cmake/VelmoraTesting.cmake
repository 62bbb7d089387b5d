# velmora_add_test(NAME name SOURCES a.cpp ... LIBS lib ...)
# One executable per unit; every test runs headless and finds its data through
# the configured header TestPaths.h, never through the current directory.
function(velmora_add_test)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} velmora_test_paths)
    add_dependencies(${ARG_NAME} velmora_assets)
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    set_tests_properties(${ARG_NAME} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0"
        TIMEOUT 600)
    target_link_libraries(${ARG_NAME} PRIVATE velmora_warnings)
endfunction()
