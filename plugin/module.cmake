# The VQX-B410 plug-in module.
#
# The host looks for plug-ins in <directory of its executable>/../lib/corvanetov/plugins;
# the build tree mirrors that layout (bin/ and lib/corvanetov/plugins/ under
# the build directory), and so does the installed tree.

# Host notification messages: plain C++, so that the port setting dialogs
# (which the command-line tool shares) can send the port line without the
# module.
add_library(corvanetov_hostnotify STATIC ${CMAKE_CURRENT_SOURCE_DIR}/HostNotifier.cpp)
target_include_directories(corvanetov_hostnotify PUBLIC ${CMAKE_SOURCE_DIR})

# Everything of the module but its exports and its load hook, so that tests
# can link it directly.
add_library(corvanetov_module STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/ModuleLifecycle.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ModulePrompts.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ModuleResources.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ModuleResources.qrc
  ${CMAKE_CURRENT_SOURCE_DIR}/RuntimeClasses.cpp)
target_include_directories(corvanetov_module PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(corvanetov_module PUBLIC
  corvanetov_forms corvanetov_widgets corvanetov_hostnotify corvanetov_engine Qt6::Widgets)
target_link_libraries(corvanetov_module PUBLIC corvanetov_portsetting)

add_library(corvanetov_vqxb410 SHARED
  ${CMAKE_CURRENT_SOURCE_DIR}/ModuleExports.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ModuleMain.cpp)
target_link_libraries(corvanetov_vqxb410 PRIVATE corvanetov_module)
target_link_options(corvanetov_vqxb410 PRIVATE -Wl,--no-undefined)
set_target_properties(corvanetov_vqxb410 PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/corvanetov/plugins)
install(TARGETS corvanetov_vqxb410 LIBRARY DESTINATION lib/corvanetov/plugins)

# A library with GNU unique symbols (g++ makes every inline function's and
# template's static one) can never be unloaded: dlclose would keep it mapped
# and unloading would not destroy the NV document. Everything linked into the
# module is compiled without them (the views too: forms/CMakeLists.txt).
foreach(part corvanetov_engine corvanetov_widgets corvanetov_ports corvanetov_portsetting
             corvanetov_hostnotify corvanetov_module corvanetov_vqxb410)
  target_compile_options(${part} PRIVATE -fno-gnu-unique)
endforeach()
