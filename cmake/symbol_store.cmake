# Programs that carry their own symbol store.
#
# brevant_add_program_with_symbol_store(<name> [WIN32] OBJECTS <object library>
#     [RESOURCES <.rc>] OUTPUT_DIRECTORY <dir> [LINK_OPTIONS <options>...])
#
# The store is made from the program's own debug information, so the program is linked
# twice from the same objects. The first link is read with nm and objdump; the packer
# writes the store and the calibration record into a resource script that includes the
# program's own resources; the second link adds that script. Resources go into .rsrc,
# which MinGW's linker places after code and data, so a bigger resource section moves no
# code; the build still compares the symbols and the code and data bytes of both links and
# fails if anything moved. The second link's output is kept unstripped in
# <dir>/debug/<name>.exe; <dir>/<name>.exe is the same file stripped for shipping.

set(BREVANT_HOST_TOOLS_DIR "${PROJECT_SOURCE_DIR}/build/native/bin"
    CACHE PATH "Where the native build put symbol_store_packer")
set(BREVANT_UNMOVED_CHECK "${CMAKE_CURRENT_LIST_DIR}/check_code_unmoved.cmake")

function(brevant_add_program_with_symbol_store name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "WIN32" "OBJECTS;RESOURCES;OUTPUT_DIRECTORY" "LINK_OPTIONS")
    set(kind)
    if(arg_WIN32)
        set(kind WIN32)
    endif()
    set(packer ${BREVANT_HOST_TOOLS_DIR}/symbol_store_packer)
    set(store_dir ${CMAKE_CURRENT_BINARY_DIR}/${name}_symbols)
    set(script ${store_dir}/${name}_symbols.rc)
    set(include_resources)
    if(arg_RESOURCES)
        set(include_resources --resources ${arg_RESOURCES})
    endif()

    foreach(link ${name}_first_link ${name})
        add_executable(${link} ${kind})
        target_link_libraries(${link} PRIVATE ${arg_OBJECTS} brevant_calibration_anchors)
        target_link_options(${link} PRIVATE ${arg_LINK_OPTIONS})
    endforeach()
    if(arg_RESOURCES)
        target_sources(${name}_first_link PRIVATE ${arg_RESOURCES})
    endif()
    target_sources(${name} PRIVATE ${script})
    set_target_properties(${name}_first_link PROPERTIES OUTPUT_NAME ${name}
                          RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${name}_first_link)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${arg_OUTPUT_DIRECTORY}/debug)

    add_custom_command(
        OUTPUT ${script} ${store_dir}/${name}.qrx ${store_dir}/${name}.calibrate
        COMMAND ${packer} --image $<TARGET_FILE:${name}_first_link> --nm ${CMAKE_NM} --objdump ${CMAKE_OBJDUMP}
                --addr2line ${CMAKE_ADDR2LINE}
                --marker BrevantCalibrationMarker --configuration BrevantFixedConfiguration
                --toolchain "GCC ${CMAKE_CXX_COMPILER_VERSION} MinGW-w64" ${include_resources}
                --output-dir ${store_dir}
        DEPENDS ${name}_first_link ${packer} ${arg_RESOURCES}
        COMMENT "Packing the symbol store of ${name}"
        VERBATIM)

    add_custom_command(TARGET ${name} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DOBJCOPY=${CMAKE_OBJCOPY}
                -DFIRST=$<TARGET_FILE:${name}_first_link> -DSECOND=$<TARGET_FILE:${name}>
                -P ${BREVANT_UNMOVED_CHECK}
        COMMAND ${CMAKE_STRIP} --strip-all -o ${arg_OUTPUT_DIRECTORY}/${name}.exe $<TARGET_FILE:${name}>
        VERBATIM)
endfunction()
