# cmake -DINPUT=ca.pem -DOUTPUT=EmbeddedServerCa.h -P EmbedPem.cmake
# Writes the PEM text as a byte array so the client carries the authority it trusts in addition to the system's.
# An empty INPUT writes a header that embeds no authority at all (kEmbeddedServerCaSize 0).
if(INPUT)
    file(READ "${INPUT}" pem HEX)
    string(LENGTH "${pem}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${pem}")
    set(origin "Generated from ${INPUT} at build time.")
else()
    set(size 0)
    set(bytes "0")
    set(origin "Generated at configure time: this build embeds no authority.")
endif()
file(WRITE "${OUTPUT}.tmp"
    "#pragma once\n// ${origin}\n"
    "static const unsigned char kEmbeddedServerCa[] = {${bytes}};\n"
    "static const unsigned long kEmbeddedServerCaSize = ${size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
