# One interface target carries the language standard, the warnings and Qt's safety switches; every target links it.
add_library(veltrane_options INTERFACE)
target_compile_features(veltrane_options INTERFACE cxx_std_17)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(veltrane_options INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${VELTRANE_WERROR}>:-Werror>)
# Qt's logging macros take the category alone (qCDebug(category) << ...), which clang's pedantic mode flags as an
# empty variadic argument; C++20 allows it, and GCC does not warn.
target_compile_options(veltrane_options INTERFACE
    $<$<CXX_COMPILER_ID:Clang>:-Wno-gnu-zero-variadic-macro-arguments>)
target_compile_definitions(veltrane_options INTERFACE
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_FOREACH
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_DISABLE_DEPRECATED_BEFORE=0x060000)

if(VELTRANE_SANITIZE)
    set(VELTRANE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_compile_options(veltrane_options INTERFACE ${VELTRANE_SANITIZER_FLAGS})
    target_link_options(veltrane_options INTERFACE ${VELTRANE_SANITIZER_FLAGS})
endif()

# Release builds are hardened as distributions build their packages: buffer-overflow checks in the C library calls
# (_FORTIFY_SOURCE, which needs optimisation), canaries in every function with arrays or address-taken locals, probed
# stack growth, control-flow protection where the processor has it, and a relocation table that is read-only before
# the program runs (full RELRO: immediate binding). Debug, sanitizer and fuzzing builds are left as they are: the
# sanitizers replace the same C library calls with their own, more precise checks. Flags a compiler or processor
# does not know are left out rather than failing the build (-fcf-protection exists for x86 only).
string(TOUPPER "${CMAKE_BUILD_TYPE}" veltrane_build_type)
if(veltrane_build_type STREQUAL "RELEASE" AND NOT WIN32 AND NOT VELTRANE_SANITIZE AND NOT VELTRANE_FUZZ)
    set(VELTRANE_HARDENED ON)
else()
    set(VELTRANE_HARDENED OFF)
endif()
if(VELTRANE_HARDENED)
    include(CheckCXXCompilerFlag)
    include(CheckLinkerFlag)
    set(VELTRANE_HARDENING_FLAGS -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
    foreach(flag IN ITEMS -fstack-protector-strong -fstack-clash-protection -fcf-protection)
        string(MAKE_C_IDENTIFIER "VELTRANE_HAS${flag}" result)
        check_cxx_compiler_flag("${flag}" ${result})
        if(${result})
            list(APPEND VELTRANE_HARDENING_FLAGS "${flag}")
        endif()
    endforeach()
    target_compile_options(veltrane_options INTERFACE ${VELTRANE_HARDENING_FLAGS})
    check_linker_flag(CXX "LINKER:-z,relro,-z,now" VELTRANE_HAS_BIND_NOW)
    if(VELTRANE_HAS_BIND_NOW)
        target_link_options(veltrane_options INTERFACE "LINKER:-z,relro,-z,now")
    endif()
endif()
