vantrel_add_test(tst_serialdriver SOURCES tst_serialdriver.cpp support/FakeSerialDevice.h
                 LIBS vantrel_serial)
vantrel_add_test(tst_linuxdevice SOURCES tst_linuxdevice.cpp LIBS vantrel_serial util)
# Ports that cannot be had (held, forbidden, not a terminal) or go away while in use, through
# the real device layer and the window, with the simulator as the device.
vantrel_add_test(tst_ports SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_ports.cpp LIBS vantrel_gui)
target_include_directories(tst_ports PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(tst_ports PRIVATE
                           VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>")
add_dependencies(tst_ports vantrel-modem-sim)
# Setting ModemManager aside while online: the driver, the window and the settings dialog
# against a mocked ModemManager (python-dbusmock) on a private bus.
vantrel_add_test(tst_modemmanager SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_modemmanager.cpp
                 LIBS vantrel_gui Qt::DBus)
target_include_directories(tst_modemmanager PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(tst_modemmanager PRIVATE
                           VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>"
                           VANTREL_TEST_SUPPORT_DIR="${CMAKE_CURRENT_LIST_DIR}/support")
add_dependencies(tst_modemmanager vantrel-modem-sim)
