# velmora_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [GUI | QTEST | CLI])
# One executable per unit; every test runs headless and finds its data through the configured
# header TestPaths.h, never through the current directory. Each links the test-support library
# (tests/support) and one main: GoogleTest's own, the QApplication one with GUI (widgets,
# drawing, text), the QCoreApplication one with CLI (velmora-cli's commands run in-process,
# runCliInProcess), or none with QTEST, for a Qt Test program that brings its own (QTEST_MAIN).
function(velmora_add_test)
    cmake_parse_arguments(ARG "GUI;QTEST;CLI" "NAME" "SOURCES;LIBS" ${ARGN})
    if((ARG_GUI AND ARG_QTEST) OR (ARG_GUI AND ARG_CLI) OR (ARG_QTEST AND ARG_CLI))
        message(FATAL_ERROR "velmora_add_test(${ARG_NAME}): GUI, QTEST and CLI exclude each other")
    endif()
    set(main velmora_test_main)
    if(ARG_GUI)
        set(main velmora_gui_test_main)
    elseif(ARG_CLI)
        set(main velmora_cli_in_process velmora_core_app_test_main)
    elseif(ARG_QTEST)
        set(main "")
    endif()
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} velmora_test_support ${main})
    add_dependencies(${ARG_NAME} velmora_assets)
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    set_tests_properties(${ARG_NAME} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0"
        TIMEOUT 600)
    target_link_libraries(${ARG_NAME} PRIVATE velmora_warnings)
endfunction()
