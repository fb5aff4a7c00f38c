# The drive-test record's formats and the recorder's options.
vantrel_add_test(tst_driverecord SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_driverecord.cpp
                 LIBS vantrel_record)
# The recorder end to end against the simulator.
vantrel_add_test(tst_e2e_log SIM LOG SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_e2e_log.cpp
                 LIBS vantrel_record vantrel_modemsim_core TIMEOUT 240)
# Record, then play back: the recorder and the window against the simulator's replay.
vantrel_add_test(tst_e2e_replay SIM LOG SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_e2e_replay.cpp
                 LIBS vantrel_record vantrel_gui TIMEOUT 240)
# The recorder with positions from a fake gpsd (and gpsfake where installed), and its exports.
vantrel_add_test(tst_e2e_gps SIM LOG SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_e2e_gps.cpp
                 LIBS vantrel_record TIMEOUT 240)
