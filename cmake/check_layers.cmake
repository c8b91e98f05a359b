# Checks that every source file includes only its own folder and the layers
# below it, and that no file of the library includes a file that includes it
# back, directly or through others (a header and the source of the same name
# count as one file). Every build runs it first (CMakeLists.txt, velto1_layers), so an
# include that goes the wrong way fails the build. Run as:
#   cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
#
# The layers are the table below (docs/contributing.md draws them). tests/
# sits above everything and may include anything.
cmake_minimum_required(VERSION 3.21)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<tree> -P check_layers.cmake")
endif()

# Each folder and the folders it may include besides itself. The longest
# folder that an include path begins with owns it.
set(layers
    "common:"
    "devctl:common"
    "simdevice/chip:common,devctl"
    "simdevice/devices:common,devctl,simdevice/chip"
    "simdevice/filter:common,devctl,simdevice/chip,simdevice/devices"
    "appcore:common,devctl"
    "app:common,devctl,appcore"
    "cli:common,devctl,appcore"
    "regconsole:common,devctl,appcore"
    "tools/chipctl:common,devctl"
    "tools/simdevctl:common,simdevice/chip,simdevice/devices"
    "tools/autopilot:common")

set(folders "")
foreach(layer IN LISTS layers)
    string(REPLACE ":" ";" fields "${layer}")
    list(GET fields 0 folder)
    list(APPEND folders "${folder}")
endforeach()

# The folder that owns a path: the longest listed folder it begins with.
function(owner_of path result)
    set(best "")
    foreach(folder IN LISTS folders)
        string(LENGTH "${folder}" length)
        string(SUBSTRING "${path}/" 0 ${length} start)
        string(LENGTH "${best}" bestLength)
        if(start STREQUAL folder AND length GREATER bestLength)
            string(SUBSTRING "${path}/" ${length} 1 next)
            if(next STREQUAL "/")
                set(best "${folder}")
            endif()
        endif()
    endforeach()
    set(${result} "${best}" PARENT_SCOPE)
endfunction()

# The unit of a file: its path without the extension, a header under the name
# it is included by (F/include/F/x.h and F/internal/F/x.h are F/x, as is
# F/x.cpp).
function(unit_of path result)
    string(REGEX REPLACE "\\.[^./]*$" "" unit "${path}")
    foreach(folder IN LISTS folders)
        foreach(root include internal)
            string(REPLACE "${folder}/${root}/${folder}/" "${folder}/" unit "${unit}")
        endforeach()
    endforeach()
    set(${result} "${unit}" PARENT_SCOPE)
endfunction()

set(wrong "")
set(units "")
foreach(layer IN LISTS layers)
    string(REPLACE ":" ";" fields "${layer}")
    list(GET fields 0 folder)
    list(LENGTH fields count)
    set(allowed "${folder}")
    if(count GREATER 1)
        list(GET fields 1 below)
        string(REPLACE "," ";" below "${below}")
        list(APPEND allowed ${below})
    endif()
    file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}"
         "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.rc")
    foreach(source IN LISTS sources)
        get_filename_component(sourceFolder "${source}" DIRECTORY)
        owner_of("${sourceFolder}" sourceOwner)
        if(NOT sourceOwner STREQUAL folder)
            continue()  # a deeper listed folder checks it
        endif()
        unit_of("${source}" sourceUnit)
        list(APPEND units "${sourceUnit}")
        file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" path "${line}")
            if(NOT path MATCHES "/")
                set(path "${sourceFolder}/${path}")  # beside the file
            endif()
            unit_of("${path}" includedUnit)
            if(NOT includedUnit STREQUAL sourceUnit)
                list(APPEND "includes_${sourceUnit}" "${includedUnit}")
            endif()
            get_filename_component(includedFolder "${path}" DIRECTORY)
            owner_of("${includedFolder}" includedOwner)
            if(includedOwner STREQUAL "")
                list(APPEND wrong "${source}: \"${path}\" is in no known layer")
            elseif(NOT includedOwner IN_LIST allowed)
                list(APPEND wrong "${source}: \"${path}\" (${includedOwner}) is not below ${folder}")
            endif()
        endforeach()
    endforeach()
endforeach()

# Include circles in the library: a unit must not be among the units it
# reaches. (The simulator's chip and filter have circles of their own.)
list(REMOVE_DUPLICATES units)
list(FILTER units INCLUDE REGEX "^devctl/")
foreach(unit IN LISTS units)
    foreach(first IN LISTS "includes_${unit}")
        set(reached "${first}")
        set(index 0)
        list(LENGTH reached count)
        while(index LESS count)
            list(GET reached ${index} next)
            foreach(further IN LISTS "includes_${next}")
                if(NOT further IN_LIST reached)
                    list(APPEND reached "${further}")
                endif()
            endforeach()
            math(EXPR index "${index} + 1")
            list(LENGTH reached count)
        endwhile()
        if(unit IN_LIST reached)
            list(APPEND wrong "${unit}: includes ${first}, which includes it back")
        endif()
    endforeach()
endforeach()

if(wrong)
    list(JOIN wrong "\n  " text)
    message(FATAL_ERROR "includes that go against the layers:\n  ${text}")
endif()
if(NOT QUIET)
    message(STATUS "every include follows the layers")
endif()
