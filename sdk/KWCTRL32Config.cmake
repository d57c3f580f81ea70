# Package configuration of the KWCTRL32 developer kit, for
#   find_package(KWCTRL32 CONFIG REQUIRED)
# It gives two imported targets for the architecture being built (x86 or
# x64, by the size of a pointer), each with the kit's headers:
#   KWCTRL32::KWCTRL32  the control library, KWCTRL32.dll
#   KWCTRL32::Shutlet   the closer, Shutlet.dll
# Callers built by MSVC or clang-cl link the Microsoft import libraries
# (*.lib), all others the GNU ones (lib*.dll.a). Each target's
# IMPORTED_LOCATION is its DLL, so $<TARGET_RUNTIME_DLLS:program> names the
# DLLs to copy beside a program.
cmake_minimum_required(VERSION 3.14)

get_filename_component(_kwctrl32_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT WIN32)
    set(KWCTRL32_FOUND FALSE)
    set(KWCTRL32_NOT_FOUND_MESSAGE "KWCTRL32 is a Windows library; this project does not build for Windows")
    return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_kwctrl32_arch x64)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(_kwctrl32_arch x86)
else()
    set(KWCTRL32_FOUND FALSE)
    set(KWCTRL32_NOT_FOUND_MESSAGE "KWCTRL32 needs a C or C++ compiler enabled to tell x86 from x64")
    return()
endif()

foreach(_kwctrl32_name IN ITEMS KWCTRL32 Shutlet)
    if(TARGET KWCTRL32::${_kwctrl32_name})
        continue()
    endif()
    if(MSVC)
        set(_kwctrl32_implib ${_kwctrl32_root}/lib/${_kwctrl32_arch}/${_kwctrl32_name}.lib)
    else()
        set(_kwctrl32_implib ${_kwctrl32_root}/lib/${_kwctrl32_arch}/lib${_kwctrl32_name}.dll.a)
    endif()
    add_library(KWCTRL32::${_kwctrl32_name} SHARED IMPORTED)
    set_target_properties(KWCTRL32::${_kwctrl32_name} PROPERTIES
        IMPORTED_LOCATION ${_kwctrl32_root}/bin/${_kwctrl32_arch}/${_kwctrl32_name}.dll
        IMPORTED_IMPLIB ${_kwctrl32_implib}
        INTERFACE_INCLUDE_DIRECTORIES ${_kwctrl32_root}/include)
endforeach()

set(KWCTRL32_ARCHITECTURE ${_kwctrl32_arch})
unset(_kwctrl32_root)
unset(_kwctrl32_arch)
unset(_kwctrl32_name)
unset(_kwctrl32_implib)
