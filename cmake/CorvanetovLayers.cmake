# One static library per folder, and the arrows between them written in the
# build. A folder's headers are reachable only by the targets that link its
# library: its include root holds nothing but a link named after the folder,
# so "engine/OperationContext.h" is found by a target that links
# corvanetov_engine (directly or through a layer above it), and an include
# that points upward or sideways fails to compile (tests/layers proves it).

# corvanetov_layer_root(TARGET FOLDER): TARGET gives FOLDER's headers to
# whoever links it.
function(corvanetov_layer_root target folder)
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# corvanetov_layer_headers(TARGET FOLDER...): the FOLDERs' headers (and the
# definitions they need) without their code, for a test that drives a
# program and shares its constants.
function(corvanetov_layer_headers target)
  foreach(folder ${ARGN})
    target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/layers/${folder})
    target_compile_definitions(${target} PRIVATE
      $<TARGET_PROPERTY:corvanetov_${folder},INTERFACE_COMPILE_DEFINITIONS>)
  endforeach()
endfunction()

# corvanetov_layer(FOLDER [USES target...] [PROGRAM file...]): the library
# corvanetov_<FOLDER> of every source, header, form and resource file in the
# folder but the PROGRAM files (a program's main and what only it uses). New
# files join on the next build.
function(corvanetov_layer folder)
  cmake_parse_arguments(L "" "" "USES;PROGRAM" ${ARGN})
  set(dir ${CMAKE_SOURCE_DIR}/${folder})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.ui ${dir}/*.qrc)
  foreach(file ${L_PROGRAM})
    list(REMOVE_ITEM sources ${dir}/${file})
  endforeach()
  add_library(corvanetov_${folder} STATIC ${sources})
  corvanetov_layer_root(corvanetov_${folder} ${folder})
  target_link_libraries(corvanetov_${folder} PUBLIC ${L_USES})
  corvanetov_module_part(corvanetov_${folder})
endfunction()

# Code that may end up in the plug-in module. The module must stay
# unloadable: a library with GNU unique symbols (g++ makes every inline
# function's and template's static one) can never be unloaded, so dlclose
# would keep it mapped and unloading would not destroy the NV document. And
# it exports its contract only (hostlink/PluginAbi.h): everything else is
# hidden, so the module shares no state with its host by accident and a
# host's own symbols never stand in for the module's.
function(corvanetov_module_part target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -fno-gnu-unique)
  endif()
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()
