# Prints the size of a built file: cmake -DFILE=... -P PrintSize.cmake
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
message(STATUS "${name}: ${size} bytes")
