# What every program says about its build: the version of project(), the
# architecture and the commit. They go into a generated header
# (velto1_build_info.h, through velto1_common) and into each program's
# version resource (velto1_add_version_resource). Neither holds a date or a
# path, so that one commit gives the same bytes.
set(VELTO1_COMMIT "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --short=12 HEAD
                    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}" RESULT_VARIABLE gitResult
                    OUTPUT_VARIABLE gitCommit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(gitResult EQUAL 0 AND gitCommit)
        set(VELTO1_COMMIT "${gitCommit}")
        # A new commit configures again, so that the programs name it.
        foreach(gitFile HEAD logs/HEAD)
            execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --path-format=absolute
                                    --git-path ${gitFile}
                            WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                            OUTPUT_VARIABLE gitPath OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
            if(gitPath AND EXISTS "${gitPath}")
                set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${gitPath}")
            endif()
        endforeach()
    endif()
endif()
string(REPLACE "." "," VELTO1_VERSION_COMMAS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(VELTO1_GENERATED_DIR "${PROJECT_BINARY_DIR}/generated")
configure_file("${PROJECT_SOURCE_DIR}/resources/build_info.h.in"
               "${VELTO1_GENERATED_DIR}/velto1_build_info.h" @ONLY)

# velto1_add_version_resource(target product description): the target's
# version resource, with a product name of its own, and the application
# manifest (resources/program.manifest).
function(velto1_add_version_resource target product description)
    set(rc "${VELTO1_GENERATED_DIR}/${target}_version.rc")
    configure_file("${PROJECT_SOURCE_DIR}/resources/version.rc.in" "${rc}" @ONLY)
    target_sources(${target} PRIVATE "${rc}")
    set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS
                                "${PROJECT_SOURCE_DIR}/resources/program.manifest")
endfunction()
