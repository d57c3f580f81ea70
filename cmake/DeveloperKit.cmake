# The developer kit, KWCTRL32-sdk-<version>.zip: the control library and the
# closer for 32- and 64-bit callers, with headers, import libraries for both
# linkers, the gallery, a CMake package configuration and an example
# (sdk/ holds the kit's own files).
#
# Each tree stages its architecture's part in <tree>/kit: bin/<arch> (the
# DLLs and the gallery, stripped) and lib/<arch> (lib*.dll.a for GNU ld,
# *.lib for Microsoft's linker). The x86 tree, which also makes the
# installer, puts the kit together from its own part and the x64 tree's
# (KW_X64_BUILD_DIR), beside the installer.
if(NOT TARGET KWCTRL32_msvc_implib OR NOT TARGET Shutlet_msvc_implib)
    message(WARNING "no Microsoft import libraries (llvm-dlltool): no developer kit")
    return()
endif()

set(KW_KIT_STAGE ${CMAKE_BINARY_DIR}/kit)
set(kit_bin ${KW_KIT_STAGE}/bin/${KW_ARCH})
set(kit_lib ${KW_KIT_STAGE}/lib/${KW_ARCH})
set(kit_stamp ${KW_KIT_STAGE}/${KW_ARCH}.stamp)
add_custom_command(OUTPUT ${kit_stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${kit_bin} ${kit_lib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${kit_bin} ${kit_lib}
    COMMAND ${CMAKE_STRIP} -o ${kit_bin}/KWCTRL32.dll $<TARGET_FILE:KWCTRL32>
    COMMAND ${CMAKE_STRIP} -o ${kit_bin}/Shutlet.dll $<TARGET_FILE:Shutlet>
    COMMAND ${CMAKE_STRIP} -o ${kit_bin}/KWGallery.exe $<TARGET_FILE:KWGallery>
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_LINKER_FILE:KWCTRL32> $<TARGET_LINKER_FILE:Shutlet>
            ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/KWCTRL32.lib ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/Shutlet.lib ${kit_lib}
    COMMAND ${CMAKE_COMMAND} -E touch ${kit_stamp}
    DEPENDS KWCTRL32 Shutlet KWGallery KWCTRL32_msvc_implib Shutlet_msvc_implib
            ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/KWCTRL32.lib ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/Shutlet.lib
    COMMENT "Developer kit: the ${KW_ARCH} part")
add_custom_target(kit_stage ALL DEPENDS ${kit_stamp})

if(NOT KW_ARCH STREQUAL "x86")
    return()
endif()
set(KW_KIT ${CMAKE_BINARY_DIR}/KWCTRL32-sdk-${PROJECT_VERSION}.zip)
if(NOT KW_X64_BUILD_DIR)
    message(STATUS "KW_X64_BUILD_DIR not set: no developer kit (tools/build.sh sets it)")
    return()
endif()

# What the kit holds besides the binaries, made once here.
set(kit_common ${CMAKE_CURRENT_BINARY_DIR}/kit-common)
include(CMakePackageConfigHelpers)
# One kit serves both architectures, so the version file does not check the
# caller's pointer size; the package configuration picks the part.
write_basic_package_version_file(${kit_common}/lib/cmake/KWCTRL32/KWCTRL32ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
configure_file(${PROJECT_SOURCE_DIR}/sdk/KWCTRL32Config.cmake ${kit_common}/lib/cmake/KWCTRL32/KWCTRL32Config.cmake
    COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/sdk/README.md ${kit_common}/README.md @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/sdk/example/CMakeLists.txt ${kit_common}/example/CMakeLists.txt COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/sdk/example/example.c ${kit_common}/example/example.c COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/controls/kwctrl32.h ${kit_common}/include/kwctrl32.h COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/closer/shutlet.h ${kit_common}/include/shutlet.h COPYONLY)

# Put together at every build: the x64 part may have changed in its own tree.
add_custom_target(developer_kit ALL
    COMMAND ${CMAKE_COMMAND} -DOUT=${KW_KIT} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/kit-work
            "-DPARTS=${kit_common}|${KW_KIT_STAGE}|${KW_X64_BUILD_DIR}/kit"
            -P ${PROJECT_SOURCE_DIR}/cmake/MakeDeveloperKit.cmake
    DEPENDS kit_stage
    COMMENT "Developer kit ${KW_KIT}"
    VERBATIM)
