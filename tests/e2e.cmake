# The monitor window on its own, the settings dialog, and the window with the
# real driver against the simulator on a pseudo-terminal.
vantrel_add_test(tst_monitorwindow SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_monitorwindow.cpp
                 LIBS vantrel_gui util)
# The window fed the copies of real replies, to see the captions and scales of each technology.
target_compile_definitions(tst_monitorwindow PRIVATE
                           VANTREL_REPLIES_DIR="${CMAKE_CURRENT_LIST_DIR}/data/modem-replies")
vantrel_add_test(tst_serialsettings SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_serialsettings.cpp
                 LIBS vantrel_gui)
vantrel_add_test(tst_e2e_monitor SIM SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_e2e_monitor.cpp
                 LIBS vantrel_gui)
# Faults switched on and off in the simulator while the window monitors, and how busy the
# window keeps the event loop.
vantrel_add_test(tst_e2e_faults SIM SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_e2e_faults.cpp
                 LIBS vantrel_gui TIMEOUT 240)
# A device lost and back, switches changed and the window closed inside a wait, the polling
# timer's period; the close runs the real program in a child process.
vantrel_add_test(tst_e2e_lost SIM SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_e2e_lost.cpp
                 LIBS vantrel_gui TIMEOUT 280)
# The window against simulated modems of the AT+CENG, AT#MONI and AT+CCED families.
vantrel_add_test(tst_e2e_families SIM SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_e2e_families.cpp
                 LIBS vantrel_gui TIMEOUT 240)
