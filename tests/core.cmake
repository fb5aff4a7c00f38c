vantrel_add_test(tst_misclib SOURCES tst_misclib.cpp LIBS vantrel_core)
vantrel_add_test(tst_replytext SOURCES tst_replytext.cpp LIBS vantrel_core)
vantrel_add_test(tst_cellreports SOURCES tst_cellreports.cpp LIBS vantrel_core)
# Real modem replies, copied from the shared collection.
target_compile_definitions(tst_cellreports PRIVATE
                           VANTREL_REPLIES_DIR="${CMAKE_CURRENT_LIST_DIR}/data/modem-replies")
# The readers of the other report families, fed the same copies.
vantrel_add_test(tst_familyreports SOURCES tst_familyreports.cpp LIBS vantrel_core)
target_compile_definitions(tst_familyreports PRIVATE
                           VANTREL_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data/modem-replies")
# The modem session without any widget: only vantrel_core and QCoreApplication.
vantrel_add_test(tst_session SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_session.cpp
                 LIBS vantrel_core)
target_include_directories(tst_session PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(tst_session PRIVATE
                           VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>")
add_dependencies(tst_session vantrel-modem-sim)
vantrel_add_test(tst_levelhistory SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_levelhistory.cpp
                 LIBS vantrel_core)
vantrel_add_test(tst_rxlevelstats SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rxlevelstats.cpp
                 LIBS vantrel_core)
vantrel_add_test(tst_rxlevelchart SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rxlevelchart.cpp
                 LIBS vantrel_gui)
# The gpsd client against a fake gpsd, and the record's exports read back.
vantrel_add_test(tst_gps SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_gps.cpp LIBS vantrel_core)
target_include_directories(tst_gps PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# The connection keeper through the real session against the simulator.
vantrel_add_test(tst_keeper SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_keeper.cpp LIBS vantrel_core)
target_include_directories(tst_keeper PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(tst_keeper PRIVATE
                           VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>")
add_dependencies(tst_keeper vantrel-modem-sim)
