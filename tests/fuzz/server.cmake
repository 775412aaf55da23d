# The status, registration, authentication and synchronisation reply decoders.
veltrane_add_fuzzer(NAME fuzz_replies SOURCES "${CMAKE_CURRENT_LIST_DIR}/fuzz_replies.cpp" LIBS veltrane_core)
