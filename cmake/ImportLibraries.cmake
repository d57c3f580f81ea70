# Import libraries for Microsoft-compatible linkers (link.exe, lld-link), made
# from the same module definition files that fix the DLLs' export names
# (kw_module_definition's), in the short import format for the tree's
# architecture (cmake/MsvcImportLibrary.cmake tells how).
find_program(LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14)
find_program(LLVM_AR NAMES llvm-ar llvm-ar-16 llvm-ar-15 llvm-ar-14)

function(add_msvc_import_library target def)
    if(NOT LLVM_DLLTOOL OR NOT LLVM_AR)
        message(WARNING "llvm-dlltool or llvm-ar not found: no ${target}.lib")
        return()
    endif()
    set(out ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/${target}.lib)
    set(script ${PROJECT_SOURCE_DIR}/cmake/MsvcImportLibrary.cmake)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(machine i386:x86-64)
    else()
        set(machine i386)
    endif()
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}
        COMMAND ${CMAKE_COMMAND} -DDLLTOOL=${LLVM_DLLTOOL} -DAR=${LLVM_AR} -DMACHINE=${machine} -DDEF=${def}
                -DOUT=${out} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/${target}_msvc_implib -P ${script}
        DEPENDS ${def} ${script} ${PROJECT_SOURCE_DIR}/cmake/ModuleDefinitions.cmake
        COMMENT "Import library ${target}.lib for Microsoft-compatible linkers")
    add_custom_target(${target}_msvc_implib ALL DEPENDS ${out})
endfunction()

# An import library for a system DLL that must be bound by ordinal only.
function(add_ordinal_import_library name def)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/lib${name}_ordinals.a)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_DLLTOOL} -k -d ${def} -l ${out}
        DEPENDS ${def}
        COMMENT "Ordinal import library for ${name}")
    add_custom_target(${name}_ordinals DEPENDS ${out})
    add_library(${name}_imports INTERFACE)
    add_dependencies(${name}_imports ${name}_ordinals)
    target_link_libraries(${name}_imports INTERFACE ${out})
endfunction()
