# The crash reporter's settings block and form definitions, written as readable text in
# resources/ and compiled into property streams at build time by the native
# property_stream_compiler (so the native build comes first, as for the symbol store).
# resources/crash_resources.rc embeds the streams; programs take it in directly or through
# their own resource script.
#
# brevant_embed_crash_resources(<target>...)
#     Gives the resource scripts of each target the streams' folder as include path and
#     makes them depend on the streams, so a changed text rebuilds the resources.

include_guard(GLOBAL)
enable_language(RC)

set(BREVANT_HOST_TOOLS_DIR "${PROJECT_SOURCE_DIR}/build/native/bin"
    CACHE PATH "Where the native build put its build-time tools")
set(BREVANT_CRASH_RESOURCE_DIR ${CMAKE_BINARY_DIR}/crash_resources CACHE INTERNAL "Where the compiled crash resources go")

set(BREVANT_CRASH_RESOURCE_STREAMS)
foreach(text crash_settings forms/contact_form forms/details_form forms/scrshot_form)
    get_filename_component(stem ${text} NAME)
    set(source ${PROJECT_SOURCE_DIR}/resources/${text}.txt)
    set(stream ${BREVANT_CRASH_RESOURCE_DIR}/${stem}.bin)
    add_custom_command(
        OUTPUT ${stream}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${BREVANT_CRASH_RESOURCE_DIR}
        COMMAND ${BREVANT_HOST_TOOLS_DIR}/property_stream_compiler ${source} ${stream}
        DEPENDS ${source} ${BREVANT_HOST_TOOLS_DIR}/property_stream_compiler
        COMMENT "Compiling ${text}.txt into a property stream"
        VERBATIM)
    list(APPEND BREVANT_CRASH_RESOURCE_STREAMS ${stream})
endforeach()
add_custom_target(brevant_crash_resource_streams DEPENDS ${BREVANT_CRASH_RESOURCE_STREAMS})
# The guard skips this file in later folders, whose variables start from their parent's.
set_property(GLOBAL PROPERTY BREVANT_CRASH_RESOURCE_STREAMS ${BREVANT_CRASH_RESOURCE_STREAMS})

function(brevant_embed_crash_resources)
    get_property(streams GLOBAL PROPERTY BREVANT_CRASH_RESOURCE_STREAMS)
    foreach(target ${ARGN})
        add_dependencies(${target} brevant_crash_resource_streams)
        target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/crash_resources)
        get_target_property(sources ${target} SOURCES)
        foreach(source ${sources})
            if(source MATCHES "\\.rc$")
                set_property(SOURCE ${source} APPEND PROPERTY OBJECT_DEPENDS
                             ${streams} ${PROJECT_SOURCE_DIR}/resources/crash_resources.rc)
            endif()
        endforeach()
    endforeach()
endfunction()
