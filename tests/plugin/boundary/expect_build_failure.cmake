# Builds one target and passes only when the build fails because the compiler could not
# find MISSING_HEADER: cmake -DBUILD_DIR=... -DTARGET=... -DMISSING_HEADER=... -P <this>.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "${TARGET} built, so module code can include ${MISSING_HEADER}")
endif()
string(FIND "${output}" "${MISSING_HEADER}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${TARGET} failed for another reason than ${MISSING_HEADER}:\n${output}")
endif()
message(STATUS "${TARGET} does not compile: ${MISSING_HEADER} is out of a module's reach")
