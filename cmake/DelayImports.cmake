# quib_delay_import(NAME): the library target delay_NAME, which links the system DLL of MinGW's
# import library libNAME.a with delayed imports. The program then loads that DLL only at its first
# call, through LoadLibrary, which searches the system folder alone once the program's entry has
# said so (base/LibrarySearch.h); an import that the loader resolves before the program's first
# instruction would be looked for beside the program first. Made when the build is configured:
# every function the import library names goes into a module definition for dlltool.
function(quib_delay_import name)
  find_library(QUIB_IMPORT_${name} ${name} REQUIRED)
  set(import ${QUIB_IMPORT_${name}})
  execute_process(COMMAND ${CMAKE_NM} --defined-only ${import} OUTPUT_VARIABLE symbols
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "__imp_[A-Za-z0-9_]+" functions "${symbols}")
  list(TRANSFORM functions REPLACE "^__imp_" "")
  list(REMOVE_DUPLICATES functions)
  list(JOIN functions "\n" exports)
  execute_process(COMMAND ${CMAKE_DLLTOOL} --identify ${import} OUTPUT_VARIABLE dll
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(folder ${CMAKE_BINARY_DIR}/delay-imports)
  file(WRITE ${folder}/${name}.def "LIBRARY ${dll}\nEXPORTS\n${exports}\n")
  execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${folder}/${name}.def
                          --output-delaylib ${folder}/lib${name}_delay.a COMMAND_ERROR_IS_FATAL ANY)
  # For the tests' stand-ins named like the DLL (tests/app).
  set_property(GLOBAL PROPERTY QUIB_DELAY_FUNCTIONS_${name} "${functions}")
  add_library(delay_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(delay_${name} PROPERTIES IMPORTED_LOCATION ${folder}/lib${name}_delay.a)
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${import})
endfunction()
