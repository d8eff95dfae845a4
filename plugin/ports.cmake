# Port selection and discovery: the per-user settings store, the port table
# that gives Linux serial devices their COM numbers, the serial device
# listing searched for the handset. Qt Core only, so that the command-line
# tool shares it.
add_library(corvanetov_ports STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/PortStore.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortTable.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SerialDeviceListing.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/UserSettings.cpp)
target_include_directories(corvanetov_ports PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(corvanetov_ports PUBLIC corvanetov_engine Qt6::Core)

# The Port Setting dialogs (templates 1023 and 1049). Their port line goes to
# the host through the module's host notification library (module.cmake,
# included after this file).
add_library(corvanetov_portsetting STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/PortChoice.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSetting.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSetting.h
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSetting.ui
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSetting2.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSetting2.h
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSetting2.ui)
target_link_libraries(corvanetov_portsetting PUBLIC corvanetov_ports corvanetov_hostnotify Qt6::Widgets)
