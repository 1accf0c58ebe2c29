# Fails when embedding the symbol store moved anything: the symbols and the bytes of code
# and data of the first link (FIRST) and the second link (SECOND) must be identical.
# Debugging symbols (type N) mark the DWARF sections, which lie after the resources and so
# do move, and the resource section's own symbol appears when the first link had none;
# both are left out.
# Called with -DNM=... -DOBJCOPY=... -DFIRST=... -DSECOND=...

foreach(link FIRST SECOND)
    execute_process(COMMAND ${NM} -n --defined-only ${${link}} OUTPUT_VARIABLE symbols_${link}
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE "[0-9a-f]+ N [^\n]*\n" "" symbols_${link} "${symbols_${link}}")
    string(REGEX REPLACE "[0-9a-f]+ [a-z] \\.rsrc\n" "" symbols_${link} "${symbols_${link}}")
endforeach()
if(NOT symbols_FIRST STREQUAL symbols_SECOND)
    message(FATAL_ERROR "Embedding the symbol store moved symbols: compare `${NM} -n ${FIRST}` "
                        "with `${NM} -n ${SECOND}`")
endif()

foreach(section .text .data .rdata)
    foreach(link FIRST SECOND)
        set(copy ${SECOND}${section}.${link}.bin)
        execute_process(COMMAND ${OBJCOPY} -O binary --only-section=${section} ${${link}} ${copy}
                        COMMAND_ERROR_IS_FATAL ANY)
        file(SHA256 ${copy} hash_${link})
        file(REMOVE ${copy})
    endforeach()
    if(NOT hash_FIRST STREQUAL hash_SECOND)
        message(FATAL_ERROR "Embedding the symbol store changed section ${section} of ${SECOND}")
    endif()
endforeach()
