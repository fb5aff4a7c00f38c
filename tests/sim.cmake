# The simulator's core directly, and the built binary on a real pseudo-terminal.
vantrel_add_test(tst_modemsim
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_modemsim.cpp ${CMAKE_CURRENT_LIST_DIR}/support/SimProcess.h
  LIBS vantrel_modemsim_core Qt::Core)
target_include_directories(tst_modemsim PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# The simulator's reports are compared with real replies, copied from the shared collection.
target_compile_definitions(tst_modemsim PRIVATE
                           VANTREL_REPLIES_DIR="${CMAKE_CURRENT_LIST_DIR}/data/modem-replies")
# Tests that need the simulator find the built binary through this definition.
target_compile_definitions(tst_modemsim PRIVATE VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>")
add_dependencies(tst_modemsim vantrel-modem-sim)
# The simulator's family replies, read back by the program's own readers.
vantrel_add_test(tst_familyreplies SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_familyreplies.cpp
                 LIBS vantrel_modemsim_core vantrel_core)
target_compile_definitions(tst_familyreplies PRIVATE
                           VANTREL_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/data/modem-replies")
