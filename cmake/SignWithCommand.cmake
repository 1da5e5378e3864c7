# cmake -DFILE=<executable> -DSIGNER=<file setting SIGNING_COMMAND> -P SignWithCommand.cmake
#
# Runs the vendor's signing command on a copy of the executable, {file} in
# its words replaced by the copy's path, and puts the signed copy in the
# executable's place. A command that fails takes the executable with it: an
# unsigned file left under the shipped name would be shipped.
include("${SIGNER}")
set(copy "${FILE}.signing")
file(COPY_FILE "${FILE}" "${copy}")
set(command "")
foreach(word IN LISTS SIGNING_COMMAND)
    string(REPLACE "{file}" "${copy}" word "${word}")
    list(APPEND command "${word}")
endforeach()
execute_process(COMMAND ${command} RESULT_VARIABLE result)
if(NOT result STREQUAL "0")
    file(REMOVE "${copy}" "${FILE}")
    message(FATAL_ERROR "The signing command failed (${result}): ${FILE} removed, unsigned")
endif()
file(RENAME "${copy}" "${FILE}")
