# Runs EXE with ARGS (separated by "|") and checks its exit status against STATUS and
# its standard error against the regular expression STDERR.
string(REPLACE "|" ";" ARGS "${ARGS}")
execute_process(COMMAND ${EXE} ${ARGS} RESULT_VARIABLE status OUTPUT_VARIABLE out
  ERROR_VARIABLE err TIMEOUT 50)
if(NOT status STREQUAL "${STATUS}")
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\nstdout: ${out}\nstderr: ${err}")
endif()
if(NOT err MATCHES "${STDERR}")
  message(FATAL_ERROR "stderr does not match \"${STDERR}\":\n${err}")
endif()
