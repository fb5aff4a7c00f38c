vantrel_add_test(tst_serialdriver SOURCES tst_serialdriver.cpp support/FakeSerialDevice.h
                 LIBS vantrel_serial)
vantrel_add_test(tst_linuxdevice SOURCES tst_linuxdevice.cpp LIBS vantrel_serial util)
# Ports that cannot be had (held, forbidden, not a terminal) or go away while in use, through
# the real device layer and the window, with the simulator as the device.
vantrel_add_test(tst_ports SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_ports.cpp LIBS vantrel_app)
target_include_directories(tst_ports PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(tst_ports PRIVATE
                           VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>")
add_dependencies(tst_ports vantrel-modem-sim)
