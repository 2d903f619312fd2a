# Passes when the built plug-in module leaves no symbol of the stand-in's own namespace
# (host::) for the host executable to supply: it calls the host only through the SDK.
# cmake -DNM=... -DMODULE=... -P <this>.
execute_process(COMMAND ${NM} -u -C ${MODULE} RESULT_VARIABLE result OUTPUT_VARIABLE undefined ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${MODULE}: ${error}")
endif()
string(REGEX MATCHALL "[^\n]*host::[^\n]*" reached "${undefined}")
if(reached)
  string(REPLACE ";" "\n" reached "${reached}")
  message(FATAL_ERROR "${MODULE} reaches the stand-in host directly:\n${reached}")
endif()
