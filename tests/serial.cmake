vantrel_add_test(tst_serialdriver SOURCES tst_serialdriver.cpp support/FakeSerialDevice.h
                 LIBS vantrel_serial)
vantrel_add_test(tst_linuxdevice SOURCES tst_linuxdevice.cpp LIBS vantrel_serial util)
