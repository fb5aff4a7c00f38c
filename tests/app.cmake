vantrel_add_test(tst_misclib SOURCES tst_misclib.cpp LIBS vantrel_app)
vantrel_add_test(tst_replytext SOURCES tst_replytext.cpp LIBS vantrel_app)
vantrel_add_test(tst_cellreports SOURCES tst_cellreports.cpp LIBS vantrel_app)
# The readers of the other report families, fed the real replies copied into tests/data.
vantrel_add_test(tst_familyreports SOURCES tst_familyreports.cpp LIBS vantrel_app)
target_compile_definitions(tst_familyreports PRIVATE
                           VANTREL_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
