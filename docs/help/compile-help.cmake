# Runs chmcmd on PROJECT_FILE in STAGE and copies the result to OUTPUT.
# chmcmd does not always say failure through its exit code (a missing
# project gives 0), so the compiled file itself is checked too.
execute_process(
  COMMAND ${CHMCMD} --no-html-scan ${PROJECT_FILE}
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
set(compiled ${STAGE}/QR_GRAD.chm)
if(NOT result EQUAL 0 OR NOT EXISTS ${compiled} OR output MATCHES "corrupt|not found|Error|error")
  message(FATAL_ERROR "chmcmd could not compile the help file:\n${output}")
endif()
file(SIZE ${compiled} size)
if(size LESS 1024)
  message(FATAL_ERROR "chmcmd wrote a help file of only ${size} bytes:\n${output}")
endif()
file(COPY_FILE ${compiled} ${OUTPUT} ONLY_IF_DIFFERENT)
