vantrel_add_test(tst_misclib SOURCES tst_misclib.cpp LIBS vantrel_app)
vantrel_add_test(tst_replytext SOURCES tst_replytext.cpp LIBS vantrel_app)
vantrel_add_test(tst_cellreports SOURCES tst_cellreports.cpp LIBS vantrel_app)
# Real modem replies, copied from the shared collection.
target_compile_definitions(tst_cellreports PRIVATE
                           VANTREL_REPLIES_DIR="${CMAKE_CURRENT_LIST_DIR}/data/modem-replies")
