# Programs that carry the crash reporter.
#
# brevant_add_crash_reporting_program(<name> [WIN32] SOURCES <file>...
#     [SETTINGS <settings text>] [RESOURCES <.rc>] [OUTPUT_DIRECTORY <dir>]
#     [LINK_OPTIONS <option>...])
#
# Builds <dir>/<name>.exe (stripped) and <dir>/debug/<name>.exe (unstripped) from the sources,
# C or C++, with the crash reporter linked in: it starts before the program's own code and
# needs no call in it. The program gets its own symbol store and calibration record, the
# settings block compiled from SETTINGS (default: resources/crash_settings.txt) and the
# assistants' forms. A program that includes "crashreport/crash_reporter.h" finds it on its
# include path. RESOURCES names a resource script of the program's own, which must include
# crash_resources.rc (then SETTINGS is not used); LINK_OPTIONS are added to the link (for
# example -municode for a wWinMain). OUTPUT_DIRECTORY defaults to the current binary folder.

include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/crash_resources.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/symbol_store.cmake)

function(brevant_add_crash_reporting_program name)
    # One self-contained file; the C++ runtime's raise, free, end-of-handler and pure-call
    # entries go through the crash reporter.
    set(runtime_options -static -static-libgcc -static-libstdc++
        -Wl,--wrap=__cxa_throw -Wl,--wrap=__cxa_free_exception -Wl,--wrap=__cxa_end_catch
        -Wl,--wrap=__cxa_pure_virtual)
    # Exports keep their plain names (qrxTraceProcess, not qrxTraceProcess@4) on i686.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        list(APPEND runtime_options -Wl,--kill-at)
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 arg "WIN32" "SETTINGS;RESOURCES;OUTPUT_DIRECTORY" "SOURCES;LINK_OPTIONS")
    if(NOT arg_SOURCES)
        message(FATAL_ERROR "brevant_add_crash_reporting_program(${name}): SOURCES is missing")
    endif()
    if(NOT arg_OUTPUT_DIRECTORY)
        set(arg_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    set(kind)
    if(arg_WIN32)
        set(kind WIN32)
    endif()

    add_library(${name}_objects OBJECT ${arg_SOURCES})
    target_link_libraries(${name}_objects PUBLIC brevant_crash_reporter_runtime brevant_crashreport_core_win32)
    target_include_directories(${name}_objects PUBLIC ${PROJECT_SOURCE_DIR})

    set(resources ${arg_RESOURCES})
    if(NOT resources)
        set(resources ${CMAKE_CURRENT_BINARY_DIR}/${name}_crash_resources/${name}.rc)
        set(settings_stream ${BREVANT_CRASH_RESOURCE_DIR}/crash_settings.bin)
        if(arg_SETTINGS)
            get_filename_component(settings_text ${arg_SETTINGS} ABSOLUTE)
            set(settings_stream ${CMAKE_CURRENT_BINARY_DIR}/${name}_crash_resources/crash_settings.bin)
            add_custom_command(
                OUTPUT ${settings_stream}
                COMMAND ${BREVANT_HOST_TOOLS_DIR}/property_stream_compiler ${settings_text} ${settings_stream}
                DEPENDS ${settings_text} ${BREVANT_HOST_TOOLS_DIR}/property_stream_compiler
                COMMENT "Compiling the crash-report settings of ${name}"
                VERBATIM)
        endif()
        file(WRITE ${resources}.in
             "TQUARREX RCDATA \"${settings_stream}\"\n"
             "TQXCONTACTFORM RCDATA \"${BREVANT_CRASH_RESOURCE_DIR}/contact_form.bin\"\n"
             "TQXDETAILSFORM RCDATA \"${BREVANT_CRASH_RESOURCE_DIR}/details_form.bin\"\n"
             "TQXSCRSHOTFORM RCDATA \"${BREVANT_CRASH_RESOURCE_DIR}/scrshot_form.bin\"\n")
        configure_file(${resources}.in ${resources} COPYONLY)
        set_property(SOURCE ${resources} APPEND PROPERTY OBJECT_DEPENDS ${settings_stream})
    endif()

    brevant_add_program_with_symbol_store(${name} ${kind}
        OBJECTS ${name}_objects
        RESOURCES ${resources}
        OUTPUT_DIRECTORY ${arg_OUTPUT_DIRECTORY}
        LINK_OPTIONS ${runtime_options} ${arg_LINK_OPTIONS})
    foreach(link ${name}_first_link ${name})
        # Object libraries hand over their objects only when linked directly.
        target_link_libraries(${link} PRIVATE brevant_crash_reporter_runtime)
        set_target_properties(${link} PROPERTIES LINKER_LANGUAGE CXX)
    endforeach()
    brevant_embed_crash_resources(${name}_first_link ${name})
endfunction()
