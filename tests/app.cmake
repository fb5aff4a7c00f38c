vantrel_add_test(tst_misclib SOURCES tst_misclib.cpp LIBS vantrel_app)
vantrel_add_test(tst_replytext SOURCES tst_replytext.cpp LIBS vantrel_app)
vantrel_add_test(tst_cellreports SOURCES tst_cellreports.cpp LIBS vantrel_app)
# Real modem replies, copied from the shared collection.
target_compile_definitions(tst_cellreports PRIVATE
                           VANTREL_REPLIES_DIR="${CMAKE_CURRENT_LIST_DIR}/data/modem-replies")
# The readers of the other report families, fed the same copies.
vantrel_add_test(tst_familyreports SOURCES tst_familyreports.cpp LIBS vantrel_app)
target_compile_definitions(tst_familyreports PRIVATE
                           VANTREL_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data/modem-replies")
