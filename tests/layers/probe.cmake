# cmake -DBUILD=<build dir> -DSOURCE=<a source of the layer> -DPROBE=<probe> -DREFUSED=<header>
#     -P probe.cmake
#
# Compiles the probe with the very command the build uses for a file of the layer (from
# compile_commands.json) and succeeds only when the compiler refuses it for not finding the
# header the probe reaches for.
file(READ ${BUILD}/compile_commands.json commands)
string(JSON count LENGTH "${commands}")
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
    string(JSON file GET "${commands}" ${index} file)
    if(file STREQUAL SOURCE)
        string(JSON command GET "${commands}" ${index} command)
        string(JSON directory GET "${commands}" ${index} directory)
        break()
    endif()
endforeach()
if(NOT command)
    message(FATAL_ERROR "${SOURCE} is not in the build's compile commands")
endif()

# The same compiler and flags, without the object and its dependency file, which stay the
# build's own.
separate_arguments(arguments UNIX_COMMAND "${command}")
set(probe_command "")
set(skip 0)
foreach(argument IN LISTS arguments)
    if(skip)
        set(skip 0)
    elseif(argument MATCHES "^-(o|MT|MF)$")
        set(skip 1)
    elseif(argument STREQUAL "-MD" OR argument STREQUAL SOURCE)
    else()
        list(APPEND probe_command "${argument}")
    endif()
endforeach()
execute_process(COMMAND ${probe_command} -fsyntax-only -x c++ ${PROBE}
    WORKING_DIRECTORY ${directory} RESULT_VARIABLE result ERROR_VARIABLE errors)
if(result EQUAL 0)
    message(FATAL_ERROR "A file of the layer of ${SOURCE} reached ${REFUSED}")
endif()
string(FIND "${errors}" "${REFUSED}: No such file or directory" refused)
if(refused EQUAL -1)
    message(FATAL_ERROR "The probe failed for another reason:\n${errors}")
endif()
message(STATUS "The layer of ${SOURCE} cannot reach ${REFUSED}")
