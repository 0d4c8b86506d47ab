# quiver_layer(<target> SOURCES … [PUBLIC …] [PRIVATE …])
#
# One part of the program: a static library whose headers are reached by their folder name
# ("Core/SettingsControl.h") from an include tree of its own, generated here. Only the targets
# that link the library see that tree, so a file reaching for a header of a layer it does not
# build on fails to compile instead of being caught in review. Headers must be listed among the
# sources to be reachable at all.
function(quiver_layer target)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    set(tree ${CMAKE_BINARY_DIR}/layers/${target})
    file(REMOVE_RECURSE ${tree})
    foreach(source IN LISTS ARG_SOURCES)
        if(source MATCHES "\\.h$" AND NOT IS_ABSOLUTE "${source}")
            set(path ${CMAKE_CURRENT_SOURCE_DIR}/${source})
            file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR}/src ${path})
            get_filename_component(folder ${tree}/${name} DIRECTORY)
            file(MAKE_DIRECTORY ${folder})
            file(CREATE_LINK ${path} ${tree}/${name} SYMBOLIC)
        endif()
    endforeach()
    target_include_directories(${target} PUBLIC ${tree})
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE quiver_common_cfg ${ARG_PRIVATE})
endfunction()
