# The developer kit as a caller meets it. Run by CTest as
#   cmake -DKIT=<kit.zip> -DARCH=x86|x64 -DWORK=<scratch dir> -DTOOLCHAIN=<toolchain file>
#         -DGENERATOR=<CMake generator> -DRUN=<tests/wine/run.sh> -DPREFIX=<Wine prefix> -P check_kit.cmake
# Unpacks the kit, checks what it holds, configures its example with
# find_package(KWCTRL32) and the toolchain of ARCH, builds it and runs it
# under Wine: it makes a gauge and reads a setting back.
cmake_minimum_required(VERSION 3.21)

function(fail)
    string(JOIN "" text ${ARGN})
    message(FATAL_ERROR "${text}")
endfunction()

# The machine type in a PE file's header: "i386", "x64" or what it holds.
function(pe_machine file var)
    file(READ ${file} lfanew OFFSET 60 LIMIT 4 HEX)
    string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" lfanew "${lfanew}")
    math(EXPR at "0x${lfanew} + 4")
    file(READ ${file} machine OFFSET ${at} LIMIT 2 HEX)
    if(machine STREQUAL "4c01")
        set(machine i386)
    elseif(machine STREQUAL "6486")
        set(machine x64)
    endif()
    set(${var} ${machine} PARENT_SCOPE)
endfunction()

if(NOT EXISTS ${KIT})
    fail("no developer kit at ${KIT}: tools/build.sh makes it once both architectures are built")
endif()
set(kit ${WORK}/kit)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${kit})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${KIT} WORKING_DIRECTORY ${kit} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    fail("cannot unpack ${KIT}")
endif()

# Every part, for both architectures, and nothing of the tests.
file(GLOB_RECURSE listing RELATIVE ${kit} ${kit}/*)
set(expected README.md include/kwctrl32.h include/shutlet.h lib/cmake/KWCTRL32/KWCTRL32Config.cmake
    lib/cmake/KWCTRL32/KWCTRL32ConfigVersion.cmake example/CMakeLists.txt example/example.c)
foreach(arch IN ITEMS x86 x64)
    list(APPEND expected bin/${arch}/KWCTRL32.dll bin/${arch}/Shutlet.dll bin/${arch}/KWGallery.exe
        lib/${arch}/libKWCTRL32.dll.a lib/${arch}/KWCTRL32.lib lib/${arch}/libShutlet.dll.a lib/${arch}/Shutlet.lib)
endforeach()
foreach(entry IN LISTS expected)
    if(NOT entry IN_LIST listing)
        fail("${KIT} lacks ${entry}; it holds:\n${listing}")
    endif()
endforeach()
if(listing MATCHES "_test|gtest|CorvidStandIn|SettingsPeer")
    fail("${KIT} holds test files:\n${listing}")
endif()
foreach(pair IN ITEMS x86:i386 x64:x64)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 arch)
    list(GET pair 1 machine)
    foreach(binary IN ITEMS KWCTRL32.dll Shutlet.dll KWGallery.exe)
        pe_machine(${kit}/bin/${arch}/${binary} found)
        if(NOT found STREQUAL machine)
            fail("bin/${arch}/${binary} is built for ${found}, not ${machine}")
        endif()
    endforeach()
endforeach()

# The example, as its README tells a caller with a cross toolchain to build it.
set(build ${WORK}/example-build)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${kit}/example -B ${build} -G ${GENERATOR}
    -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DKWCTRL32_DIR=${kit}/lib/cmake/KWCTRL32
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    fail("the example does not configure:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${build}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    fail("the example does not build:\n${output}")
endif()
if(ARCH STREQUAL "x64")
    set(machine x64)
    set(bits 64)
else()
    set(machine i386)
    set(bits 32)
endif()
foreach(binary IN ITEMS kwexample.exe KWCTRL32.dll Shutlet.dll)
    if(NOT EXISTS ${build}/${binary})
        fail("${build} lacks ${binary}")
    endif()
    pe_machine(${build}/${binary} found)
    if(NOT found STREQUAL machine)
        fail("${build}/${binary} is built for ${found}, not ${machine}")
    endif()
endforeach()

execute_process(COMMAND ${RUN} ${PREFIX} ${build}/kwexample.exe
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
string(REPLACE "\r" "" output "${output}")
set(wanted "${bits}-bit: gauge made, setting read back: \"hello from the kit\", closer: 1\n")
if(NOT result EQUAL 0 OR NOT output STREQUAL wanted)
    fail("the example ran with exit code ${result} and said:\n${output}${errors}\ninstead of:\n${wanted}")
endif()
message(STATUS "${ARCH}: ${output}")
