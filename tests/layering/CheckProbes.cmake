# cmake -DBUILD_DIR=... -DPROBES=probes.txt -P CheckProbes.cmake
# Builds each probe ("TARGET LIBRARY HEADER" a line) and fails unless every one stops on its
# HEADER not being found.
file(STRINGS ${PROBES} lines)
foreach(line IN LISTS lines)
    separate_arguments(parts UNIX_COMMAND "${line}")
    list(GET parts 0 probe)
    list(GET parts 1 library)
    list(GET parts 2 header)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${probe}
        RESULT_VARIABLE code OUTPUT_VARIABLE output ERROR_VARIABLE output)
    string(FIND "${output}" "${header}" named)
    if(code EQUAL 0)
        message(SEND_ERROR "${library} reaches ${header}, which it does not link")
    elseif(named EQUAL -1 OR NOT output MATCHES "No such file or directory|file not found")
        message(SEND_ERROR "the probe of ${library} failed, but not on ${header}:\n${output}")
    else()
        message(STATUS "${library}: ${header} is out of reach")
    endif()
endforeach()
