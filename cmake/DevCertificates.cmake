# The development certificates (made by openssl at build time, in the build tree only) and the authority that the
# client trusts besides the system's trust store: VELTRANE_SERVER_CA when given, else, for a loopback server, the
# development authority, so that the demo and test builds reach the development server.
find_program(VELTRANE_OPENSSL openssl REQUIRED)
set(VELTRANE_DEV_CERT_DIR "${PROJECT_BINARY_DIR}/devcerts")
set(VELTRANE_DEV_CERT_FILES
    "${VELTRANE_DEV_CERT_DIR}/ca.pem"
    "${VELTRANE_DEV_CERT_DIR}/server.pem" "${VELTRANE_DEV_CERT_DIR}/server.key"
    "${VELTRANE_DEV_CERT_DIR}/otherhost.pem" "${VELTRANE_DEV_CERT_DIR}/otherhost.key"
    "${VELTRANE_DEV_CERT_DIR}/untrusted-ca.pem"
    "${VELTRANE_DEV_CERT_DIR}/untrusted.pem" "${VELTRANE_DEV_CERT_DIR}/untrusted.key")
add_custom_command(
    OUTPUT ${VELTRANE_DEV_CERT_FILES}
    COMMAND sh "${PROJECT_SOURCE_DIR}/tools/devserver/make-certs.sh" "${VELTRANE_DEV_CERT_DIR}"
    DEPENDS "${PROJECT_SOURCE_DIR}/tools/devserver/make-certs.sh"
    COMMENT "Making the development certificates with openssl"
    VERBATIM)
add_custom_target(veltrane_dev_certs DEPENDS ${VELTRANE_DEV_CERT_FILES})

# The development authority's private key lies in the build tree, so it is trusted only by a build for a server on
# this machine (127.0.0.1, ::1, localhost) that names no authority of its own. A build for any other server trusts
# the system store plus VELTRANE_SERVER_CA, nothing else.
string(TOLOWER "${VELTRANE_SERVER_URL}" veltrane_url_lower)
if(veltrane_url_lower MATCHES "^https://(127\\.0\\.0\\.1|\\[::1\\]|localhost)(:[0-9]+)?(/.*)?$")
    set(VELTRANE_SERVER_IS_LOOPBACK ON)
else()
    set(VELTRANE_SERVER_IS_LOOPBACK OFF)
endif()
set(VELTRANE_EMBEDS_DEV_CA OFF)
if(VELTRANE_SERVER_CA)
    set(VELTRANE_TRUSTED_CA "${VELTRANE_SERVER_CA}")
elseif(VELTRANE_SERVER_IS_LOOPBACK)
    set(VELTRANE_TRUSTED_CA "${VELTRANE_DEV_CERT_DIR}/ca.pem")
    set(VELTRANE_EMBEDS_DEV_CA ON)
else()
    set(VELTRANE_TRUSTED_CA "")
endif()
# A build that trusts the development authority is a development build and says so: in its package version (~dev),
# its package description and its About box, so that nobody hands it to users by mistake.
set(VELTRANE_BUILD_NOTE "")
if(VELTRANE_EMBEDS_DEV_CA)
    set(VELTRANE_BUILD_NOTE "(development build, server 127.0.0.1)")
    message(WARNING "This is a development build: VELTRANE_SERVER_URL (${VELTRANE_SERVER_URL}) is a server on this "
        "machine, so the program trusts the development certificate authority of this build tree. Its package "
        "version ends in ~dev and it says \"${VELTRANE_BUILD_NOTE}\". A build for users sets VELTRANE_SERVER_URL "
        "(and, for a private authority, VELTRANE_SERVER_CA) to the real server.")
endif()
set(VELTRANE_EMBEDDED_CA_HEADER "${PROJECT_BINARY_DIR}/generated/EmbeddedServerCa.h")
if(VELTRANE_TRUSTED_CA)
    add_custom_command(
        OUTPUT "${VELTRANE_EMBEDDED_CA_HEADER}"
        COMMAND "${CMAKE_COMMAND}" "-DINPUT=${VELTRANE_TRUSTED_CA}" "-DOUTPUT=${VELTRANE_EMBEDDED_CA_HEADER}"
                -P "${PROJECT_SOURCE_DIR}/cmake/EmbedPem.cmake"
        DEPENDS "${VELTRANE_TRUSTED_CA}" "${PROJECT_SOURCE_DIR}/cmake/EmbedPem.cmake"
        COMMENT "Embedding the trusted server authority"
        VERBATIM)
else()
    # Nothing of the build tree: the header is written now and names no certificate.
    file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/generated")
    execute_process(
        COMMAND "${CMAKE_COMMAND}" "-DINPUT=" "-DOUTPUT=${VELTRANE_EMBEDDED_CA_HEADER}"
                -P "${PROJECT_SOURCE_DIR}/cmake/EmbedPem.cmake"
        COMMAND_ERROR_IS_FATAL ANY)
endif()
target_sources(veltrane_protocol PRIVATE "${VELTRANE_EMBEDDED_CA_HEADER}")
