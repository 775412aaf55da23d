# Installation in the usual desktop layout and the Debian package built from it by CPack.
#
#   bin/veltrane-auth                                 the program
#   lib/<multiarch>/veltrane-auth/libsmbprobe.so      the SMBIOS probe, private to the program
#   share/man/man1/veltrane-auth.1.gz                 manual page
#   share/applications/veltrane-auth.desktop          menu entry
#   share/metainfo/com.veltrane.Auth.metainfo.xml     description for software centres
#   share/icons/hicolor/<size>/apps/veltrane-auth.png icon, 16x16 to 256x256
#   share/doc/veltrane-auth/                          copyright and changelog
#
# Only the program and its probe library are installed: the development server, the tests and the benchmarks
# have no install rules.

install(TARGETS veltrane-auth RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
if(NOT WIN32)
    # Loaded with dlopen by file name, never linked: no soname, no symlinks, not executable on its own.
    install(TARGETS smbprobe LIBRARY DESTINATION "${VELTRANE_PRIVATE_LIB_INSTALL_DIR}"
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    install(FILES "${PROJECT_SOURCE_DIR}/packaging/veltrane-auth.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    # The manual page and the AppStream description carry the version of project(): configured, not written out.
    configure_file("${PROJECT_SOURCE_DIR}/packaging/com.veltrane.Auth.metainfo.xml.in"
        "${PROJECT_BINARY_DIR}/packaging/com.veltrane.Auth.metainfo.xml" @ONLY)
    configure_file("${PROJECT_SOURCE_DIR}/packaging/veltrane-auth.1.in" "${PROJECT_BINARY_DIR}/packaging/veltrane-auth.1"
        @ONLY)
    install(FILES "${PROJECT_BINARY_DIR}/packaging/com.veltrane.Auth.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
    install(DIRECTORY "${PROJECT_SOURCE_DIR}/resources/icons/hicolor"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons")

    # Debian wants the changelog and the manual page compressed reproducibly (no name, no time in the header).
    find_program(VELTRANE_GZIP gzip REQUIRED)
    set(VELTRANE_COMPRESSED "")
    foreach(source IN ITEMS "${PROJECT_SOURCE_DIR}/packaging/changelog" "${PROJECT_BINARY_DIR}/packaging/veltrane-auth.1")
        get_filename_component(name "${source}" NAME)
        set(output "${name}.gz")
        add_custom_command(OUTPUT "${PROJECT_BINARY_DIR}/packaging/${output}"
            COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/packaging"
            COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" "${VELTRANE_GZIP}" "${source}"
                    "${PROJECT_BINARY_DIR}/packaging/${output}"
            DEPENDS "${source}"
            COMMENT "Compressing ${name}"
            VERBATIM)
        list(APPEND VELTRANE_COMPRESSED "${PROJECT_BINARY_DIR}/packaging/${output}")
    endforeach()
    add_custom_target(veltrane_packaging_docs ALL DEPENDS ${VELTRANE_COMPRESSED})
    install(FILES "${PROJECT_BINARY_DIR}/packaging/changelog.gz" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/veltrane-auth")
    install(FILES "${PROJECT_BINARY_DIR}/packaging/veltrane-auth.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
    install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/veltrane-auth")
endif()

set(CPACK_PACKAGE_NAME "veltrane-auth")
set(CPACK_PACKAGE_VENDOR "Veltrane")
set(CPACK_PACKAGE_CONTACT "Veltrane Auth developers <veltrane-auth@veltrane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "soft token for the Veltrane two-factor authentication service")
set(CPACK_PACKAGE_DESCRIPTION
    "Veltrane Auth shows a six-digit one-time code for each protected resource of a
Veltrane account, renewed every 30 seconds. It signs in once, registers the
computer with the account, remembers the session in files enciphered for this
computer, synchronises the resources on demand and lives in the system tray.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
# A development build (cmake/DevCertificates.cmake) sorts before the release of the same number and says what it is.
if(VELTRANE_EMBEDS_DEV_CA)
    set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}~dev")
    string(APPEND CPACK_PACKAGE_DESCRIPTION "\n${VELTRANE_BUILD_NOTE}")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://veltrane.example/")
# The libraries come from dpkg-shlibdeps; the fonts that the screens substitute for Verdana and Arial are only
# looked up at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-liberation2")
# Qt's Wayland plugin, for a Wayland session that runs no XWayland (the program asks for X11 first).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
