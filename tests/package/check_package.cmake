# Makes the release ZIP from the build tree, as `--target package` does, and
# checks what is inside. Run as: cmake -DBUILD_DIR=... -DOUT_DIR=... -P this
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP -B ${OUT_DIR}
    WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed:\n${output}")
endif()
file(GLOB archive ${OUT_DIR}/*.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${archive} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot read ${archive}")
endif()
foreach(entry README.md bin/Tidbell32.exe bin/KWCTRL32.dll bin/Shutlet.dll include/kwctrl32.h
        lib/libKWCTRL32.dll.a lib/KWCTRL32.lib lib/libShutlet.dll.a lib/Shutlet.lib)
    string(FIND "${listing}" "${entry}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${archive} lacks ${entry}; it holds:\n${listing}")
    endif()
endforeach()
# Nothing of the tests ships.
if(listing MATCHES "_test|gtest|CorvidStandIn")
    message(FATAL_ERROR "${archive} holds test files:\n${listing}")
endif()
message(STATUS "${archive} holds everything it should")
