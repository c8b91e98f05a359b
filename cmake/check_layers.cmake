# Checks that every source file includes only its own folder and the layers
# below it. Every build runs it first (CMakeLists.txt, velto1_layers), so an
# include that goes the wrong way fails the build. Run as:
#   cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
#
#   programs:  app  cli  regconsole  tools/chipctl  tools/simdevctl  tools/autopilot
#   shared:    appcore (AppDevice, the platform seam, the update procedure,
#              the console helpers)            simdevice/filter
#                                              simdevice/devices
#                                              simdevice/chip
#   library:   devctl
#   bottom:    common (header-only), resources
#
# tests/ sits above everything and may include anything.
cmake_minimum_required(VERSION 3.21)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<tree> -P check_layers.cmake")
endif()

# Each folder and the folders it may include besides itself. The longest
# folder that an include path begins with owns it.
set(layers
    "common:"
    "resources:"
    "devctl:common"
    "simdevice/chip:common,devctl"
    "simdevice/devices:common,devctl,simdevice/chip"
    "simdevice/filter:common,devctl,simdevice/chip,simdevice/devices"
    "appcore:common,devctl"
    "app:common,devctl,appcore,resources"
    "cli:common,devctl,appcore"
    "regconsole:common,devctl,appcore"
    "tools/chipctl:common,devctl"
    "tools/simdevctl:common,simdevice/chip,simdevice/devices"
    "tools/autopilot:common,resources")

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

set(wrong "")
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
        file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" path "${line}")
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

if(wrong)
    list(JOIN wrong "\n  " text)
    message(FATAL_ERROR "includes that go against the layers:\n  ${text}")
endif()
if(NOT QUIET)
    message(STATUS "every include follows the layers")
endif()
