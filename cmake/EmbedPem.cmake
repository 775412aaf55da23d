# cmake -DINPUT=ca.pem -DOUTPUT=EmbeddedServerCa.h -P EmbedPem.cmake
# Writes the PEM text as a byte array so the client carries the authority it trusts in addition to the system's.
file(READ "${INPUT}" pem HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${pem}")
file(WRITE "${OUTPUT}.tmp"
    "#pragma once\n// Generated from ${INPUT} at build time.\n"
    "static const unsigned char kEmbeddedServerCa[] = {${bytes}};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
