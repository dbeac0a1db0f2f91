# Makes an import library whose DLL loads on the first call of one of its functions rather
# than when the program starts: every function the toolchain's import library names, through
# dlltool's delay-load thunks (the helper that loads the DLL is the C runtime's).
#   cmake -DNM=<nm> -DDLLTOOL=<dlltool> -DIMPORT_LIBRARY=<libX.a> -DDLL=<X.dll> -DOUTPUT=<file>
#         -P DelayImportLibrary.cmake   (x86-64: undecorated names)
foreach(input NM DLLTOOL IMPORT_LIBRARY DLL OUTPUT)
  if(NOT ${input})
    message(FATAL_ERROR "DelayImportLibrary.cmake: ${input} not given")
  endif()
endforeach()
execute_process(COMMAND ${NM} ${IMPORT_LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIBRARY}")
endif()
# The import table entries ("I __imp_<name>") name the functions.
string(REGEX MATCHALL " I __imp_[^\r\n]+" entries "${symbols}")
set(definitions "LIBRARY ${DLL}\nEXPORTS\n")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^ I __imp_" "" name "${entry}")
  string(APPEND definitions "${name}\n")
endforeach()
if(NOT entries)
  message(FATAL_ERROR "${IMPORT_LIBRARY} names no function")
endif()
set(def_file "${OUTPUT}.def")
file(WRITE "${def_file}" "${definitions}")
execute_process(COMMAND ${DLLTOOL} --input-def "${def_file}" --dllname ${DLL} --output-delaylib "${OUTPUT}"
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "${DLLTOOL} could not make ${OUTPUT}")
endif()
