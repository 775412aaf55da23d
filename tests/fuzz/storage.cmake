# Readers of local storage: the Huffman codec of the settings file and the stored-file record parsers.
veltrane_add_fuzzer(NAME fuzz_huffman SOURCES fuzz_huffman.cpp LIBS veltrane_core)
veltrane_add_fuzzer(NAME fuzz_storedfiles SOURCES fuzz_storedfiles.cpp LIBS veltrane_core)
veltrane_add_fuzzer(NAME fuzz_settingsfile SOURCES fuzz_settingsfile.cpp LIBS veltrane_core)
