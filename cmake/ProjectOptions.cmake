# One interface target carries the language standard, the warnings and Qt's safety switches; every target links it.
add_library(veltrane_options INTERFACE)
target_compile_features(veltrane_options INTERFACE cxx_std_17)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(veltrane_options INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${VELTRANE_WERROR}>:-Werror>)
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
