# Prints the size of a built file and fails when it is larger than LIMIT bytes:
#   cmake -DFILE=... -DLIMIT=... -P CheckSize.cmake
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
if(size GREATER LIMIT)
  math(EXPR over "${size} - ${LIMIT}")
  file(REMOVE "${FILE}")  # a rebuild must not find it up to date
  message(FATAL_ERROR "${name} is ${size} bytes, ${over} more than the ${LIMIT} bytes it may have")
endif()
message(STATUS "${name}: ${size} bytes (at most ${LIMIT})")
