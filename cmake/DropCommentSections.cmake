# Run by CPack once the package's files are installed into its staging
# folder: every ELF file there loses its .comment section, as Debian's own
# stripping does.
find_program(OBJCOPY objcopy REQUIRED)
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file ${staged})
  if(IS_SYMLINK ${file})
    continue()
  endif()
  file(READ ${file} magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND ${OBJCOPY} --remove-section=.comment ${file} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "objcopy could not drop the .comment section of ${file}")
    endif()
  endif()
endforeach()
