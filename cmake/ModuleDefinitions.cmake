# Module definition files, which fix the DLLs' export names.

# kw_read_module_definition(<file.def> <head-var> <entries-var>): the lines
# before and including EXPORTS, as text (one a line), and the export
# entries, as a list; comments and blank lines left out.
function(kw_read_module_definition def head_var entries_var)
    file(STRINGS ${def} lines)
    set(head "")
    set(entries "")
    set(in_exports FALSE)
    foreach(line IN LISTS lines)
        string(REGEX REPLACE ";.*" "" line "${line}")
        string(STRIP "${line}" line)
        if(line STREQUAL "")
            continue()
        endif()
        if(in_exports)
            list(APPEND entries "${line}")
            continue()
        endif()
        string(APPEND head "${line}\n")
        if(line STREQUAL "EXPORTS")
            set(in_exports TRUE)
        endif()
    endforeach()
    if(NOT in_exports)
        message(FATAL_ERROR "${def}: no EXPORTS section")
    endif()
    set(${head_var} "${head}" PARENT_SCOPE)
    set(${entries_var} "${entries}" PARENT_SCOPE)
endfunction()

# kw_module_definition(<var> <file.def>): sets <var> to the module
# definition file that fixes the export names for the architecture being
# built.
#
# The checked-in files name the 32-bit exports, whose standard-call routines
# carry the size of their arguments ("@N"). x86 uses them as they stand. x64
# has one calling convention and no such decoration, so for it every export
# is written by its plain name into a file of the build tree:
#   "Name@N == Export ..."   ->  "Export ..."  (the routine's own symbol is
#                                               the export name there)
#   "_Name@N ..."            ->  "Name ..."
#   "Name@N ..."             ->  "Name ..."
# Ordinals, NONAME and forwarders ("Name = DLL.Target") are kept as written.
function(kw_module_definition var def)
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(${var} ${def} PARENT_SCOPE)
        return()
    endif()
    get_filename_component(name ${def} NAME_WE)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${name}.x64.def)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})

    kw_read_module_definition(${def} head entries)
    set(text "; Made from ${def} for x64: every export by its plain name.\n${head}")
    foreach(line IN LISTS entries)
        if(line MATCHES "^([^ \t]+)([^=]*)==[ \t]*([^ \t]+)[ \t]*$")
            set(entry "${CMAKE_MATCH_3}${CMAKE_MATCH_2}")
        elseif(line MATCHES "^_([A-Za-z0-9_]+)@[0-9]+(.*)$")
            set(entry "${CMAKE_MATCH_1}${CMAKE_MATCH_2}")
        elseif(line MATCHES "^([A-Za-z0-9_]+)@[0-9]+(.*)$")
            set(entry "${CMAKE_MATCH_1}${CMAKE_MATCH_2}")
        else()
            set(entry "${line}")
        endif()
        string(STRIP "${entry}" entry)
        string(APPEND text "    ${entry}\n")
    endforeach()
    # Written only when it changes, so that the link is not redone for nothing.
    set(old "")
    if(EXISTS ${out})
        file(READ ${out} old)
    endif()
    if(NOT old STREQUAL text)
        file(WRITE ${out} "${text}")
    endif()
    set(${var} ${out} PARENT_SCOPE)
endfunction()
