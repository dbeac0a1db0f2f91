# Pads FILE with zero bytes to exactly SIZE bytes; fails when FILE is already larger.
file(SIZE "${FILE}" actual)
if(actual GREATER SIZE)
  message(FATAL_ERROR "${FILE} is ${actual} bytes, larger than the stub image size ${SIZE}")
endif()
math(EXPR missing "${SIZE} - ${actual}")
if(missing GREATER 0)
  # file(APPEND) cannot write NUL bytes; copy them from a zero-filled file instead.
  execute_process(COMMAND truncate -s ${SIZE} "${FILE}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not pad ${FILE}")
  endif()
endif()
