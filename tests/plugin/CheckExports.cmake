# Fails unless the dynamic symbol table of PLUGIN defines exactly Init,
# Process and Terminate.
execute_process(COMMAND nm -D --defined-only ${PLUGIN} OUTPUT_VARIABLE symbols
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(exported)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-f]+ [TtWwDdBbRrVviu] (.+)$")
    list(APPEND exported ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT exported)
if(NOT exported STREQUAL "Init;Process;Terminate")
  message(FATAL_ERROR "mx4110_4120.so exports: ${exported}")
endif()
message(STATUS "exports: ${exported}")
