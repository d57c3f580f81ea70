# Puts the developer kit together from its parts (each a folder whose tree
# goes into the kit as it stands) and writes it as a ZIP:
#   cmake -DOUT=<kit.zip> -DWORK=<scratch dir> -DPARTS=<dir|dir|...> -P MakeDeveloperKit.cmake
# Both architectures must be there; without the x64 part (its tree not
# built yet) no kit is written, and an older one is removed.
cmake_minimum_required(VERSION 3.20)

string(REPLACE "|" ";" PARTS "${PARTS}")

foreach(arch IN ITEMS x86 x64)
    set(found FALSE)
    foreach(part IN LISTS PARTS)
        if(EXISTS ${part}/bin/${arch}/KWCTRL32.dll AND EXISTS ${part}/lib/${arch}/KWCTRL32.lib)
            set(found TRUE)
        endif()
    endforeach()
    if(NOT found)
        file(REMOVE ${OUT})
        message(STATUS "Developer kit: no ${arch} part yet (build that tree, then this one again); no kit")
        return()
    endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/root)
foreach(part IN LISTS PARTS)
    file(GLOB entries LIST_DIRECTORIES true ${part}/*)
    foreach(entry IN LISTS entries)
        if(IS_DIRECTORY ${entry})
            file(COPY ${entry} DESTINATION ${WORK}/root)
        endif()
    endforeach()
    file(GLOB files LIST_DIRECTORIES false ${part}/*.md)
    if(files)
        file(COPY ${files} DESTINATION ${WORK}/root)
    endif()
endforeach()

file(GLOB_RECURSE listing RELATIVE ${WORK}/root ${WORK}/root/*)
list(SORT listing)
get_filename_component(out_name ${OUT} NAME)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${WORK}/${out_name} --format=zip -- ${listing}
    WORKING_DIRECTORY ${WORK}/root RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "could not write ${OUT}")
endif()
file(RENAME ${WORK}/${out_name} ${OUT})
