vantrel_add_test(tst_levelhistory SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_levelhistory.cpp
                 LIBS vantrel_history)
vantrel_add_test(tst_rxlevelstats SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rxlevelstats.cpp
                 LIBS vantrel_history)
vantrel_add_test(tst_rxlevelchart SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rxlevelchart.cpp
                 LIBS vantrel_history)
