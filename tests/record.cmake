# The drive-test record's formats and the recorder's options.
vantrel_add_test(tst_driverecord SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_driverecord.cpp
                 LIBS vantrel_record)
