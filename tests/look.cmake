# The window's and the dialog's layout, colours and captions, with PNG renders.
vantrel_add_test(tst_windowlook SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_windowlook.cpp
                 LIBS vantrel_gui)
target_include_directories(tst_windowlook PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(tst_windowlook PRIVATE
                           VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>")
add_dependencies(tst_windowlook vantrel-modem-sim)
