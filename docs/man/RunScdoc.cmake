# scdoc reads the page on standard input and writes the man page on standard output; a failed
# run leaves no half-written page behind.
execute_process(COMMAND ${SCDOC} INPUT_FILE ${INPUT} OUTPUT_FILE ${OUTPUT}.tmp
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "scdoc failed on ${INPUT}: ${result}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
