# Status and registration reply decoders.
veltrane_add_fuzzer(NAME fuzz_regreply SOURCES "${CMAKE_CURRENT_LIST_DIR}/fuzz_regreply.cpp" LIBS veltrane_core)
