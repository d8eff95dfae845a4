# Port selection and discovery: the per-user settings store, the port table
# that gives Linux serial devices their COM numbers, the serial device
# listing searched for the handset, and the host's notification lines. Qt
# Core only, so that the command-line tool shares it.
add_library(corvanetov_ports STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/HostNotifier.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortStore.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortTable.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SerialDeviceListing.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/UserSettings.cpp)
target_include_directories(corvanetov_ports PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(corvanetov_ports PUBLIC corvanetov_engine Qt6::Core)
