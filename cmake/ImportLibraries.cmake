# Import libraries for Microsoft's linker, made from the same module
# definition files that fix the DLLs' export names. llvm-dlltool writes the
# short import format that link.exe prefers; binutils' dlltool is the fallback.
find_program(LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14)

function(add_msvc_import_library target def)
    if(LLVM_DLLTOOL)
        set(tool ${LLVM_DLLTOOL} -m i386)
    else()
        set(tool ${CMAKE_DLLTOOL})
    endif()
    set(out ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/${target}.lib)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}
        COMMAND ${tool} -d ${def} -l ${out}
        DEPENDS ${def}
        COMMENT "Import library ${target}.lib for Microsoft's linker")
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
