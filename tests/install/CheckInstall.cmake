# Installs the build into PREFIX and fails unless every file is where the
# installed programs and udev look for it.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected ${UDEV_RULE} ${BIN_DIR}/${PLUGIN_FOLDER}/${PLUGIN})
foreach(program ${PROGRAMS})
  list(APPEND expected ${BIN_DIR}/${program})
endforeach()
foreach(file ${expected})
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
