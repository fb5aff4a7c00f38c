vantrel_add_test(tst_misclib SOURCES tst_misclib.cpp LIBS vantrel_app)
vantrel_add_test(tst_replytext SOURCES tst_replytext.cpp LIBS vantrel_app)
vantrel_add_test(tst_cellreports SOURCES tst_cellreports.cpp LIBS vantrel_app)
