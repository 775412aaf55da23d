# The SMBIOS table walker and the probe library's search, both plain C++.
veltrane_add_fuzzer(NAME fuzz_smbiostable
    SOURCES fuzz_smbiostable.cpp "${PROJECT_SOURCE_DIR}/identity/SmbiosTable.cpp")
target_include_directories(fuzz_smbiostable PRIVATE "${PROJECT_SOURCE_DIR}")
veltrane_add_fuzzer(NAME fuzz_smbprobe
    SOURCES fuzz_smbprobe.cpp "${PROJECT_SOURCE_DIR}/smbprobe/SmbiosSearch.cpp")
target_include_directories(fuzz_smbprobe PRIVATE "${PROJECT_SOURCE_DIR}")
