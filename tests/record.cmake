# The drive-test record's formats and the recorder's options.
vantrel_add_test(tst_driverecord SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_driverecord.cpp
                 LIBS vantrel_record)
# The recorder end to end against the simulator.
vantrel_add_test(tst_e2e_log SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_e2e_log.cpp
                 LIBS vantrel_record vantrel_modemsim_core TIMEOUT 240)
target_include_directories(tst_e2e_log PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(tst_e2e_log PRIVATE
                           VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>"
                           VANTREL_LOG_PATH="$<TARGET_FILE:vantrel-log>")
add_dependencies(tst_e2e_log vantrel-modem-sim vantrel-log)
# Record, then play back: the recorder and the window against the simulator's replay.
vantrel_add_test(tst_e2e_replay SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_e2e_replay.cpp
                 LIBS vantrel_record vantrel_app TIMEOUT 240)
target_include_directories(tst_e2e_replay PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(tst_e2e_replay PRIVATE
                           VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>"
                           VANTREL_LOG_PATH="$<TARGET_FILE:vantrel-log>")
add_dependencies(tst_e2e_replay vantrel-modem-sim vantrel-log)
