# The version the program and its package carry: the project's own (PROJECT_VERSION) until the history has a
# release tag (v0.2 or 0.2), then what `git describe` tells: the tag's version, with the commits since it and
# the commit appended when the build is not of the tag itself (0.2+git3.gabc1234, which Debian orders after 0.2
# and before 0.3). Read when the build is configured.
set(QUILLMOOR_VERSION_TEXT "${PROJECT_VERSION}")
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(COMMAND "${GIT_EXECUTABLE}" describe --tags --match "v[0-9]*" --match "[0-9]*"
                    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}" OUTPUT_VARIABLE described RESULT_VARIABLE failed
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT failed AND described MATCHES "^v?([0-9]+(\\.[0-9]+)*)(-([0-9]+)-(g[0-9a-f]+))?$")
        set(QUILLMOOR_VERSION_TEXT "${CMAKE_MATCH_1}")
        if(CMAKE_MATCH_4)
            string(APPEND QUILLMOOR_VERSION_TEXT "+git${CMAKE_MATCH_4}.${CMAKE_MATCH_5}")
        endif()
    endif()
endif()
message(STATUS "Quillmoor version ${QUILLMOOR_VERSION_TEXT}")
