# The program is built in layers, one static library each; the top-level folders are the heights, from the bottom:
#   veltrane_foundation  core            shared texts, clock, data paths, core services, activity log, platform calls
#   veltrane_cipher      cipher          AES envelope, plain text, file key, random texts
#   veltrane_storage     storage         stored login, resource store, settings file and its codec
#   veltrane_identity    identity        device identity and the SMBIOS reader
#   veltrane_protocol    protocol        HTTPS transport, reply codes, the transactions and chains with the server
#   veltrane_shell       ui/shell        the controller, the container window, message boxes
#   veltrane_widgets     ui/common       pictures, fonts, keys and the status line the screens share
#   veltrane_<screen>    ui/<screen>     the login window, the token screen, the settings window, the tray
#   veltrane_app         app             start-up, the screen set, the instance channel (main.cpp alone is the program)
#
# veltrane_layer(<target> FOLDER <folder> [WIDGETS]) makes one of them. Its include root holds only a link to its
# own folder, under the folder's path from the repository root, so that "storage/StoredLogin.h" resolves for the
# storage library and for what links it, and for nothing else: a header of a layer above is not found.
function(veltrane_layer target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "")
    add_library(${target} STATIC)
    set(root "${PROJECT_BINARY_DIR}/layers/${target}")
    cmake_path(GET arg_FOLDER PARENT_PATH parent)
    file(MAKE_DIRECTORY "${root}/${parent}")
    if(NOT IS_SYMLINK "${root}/${arg_FOLDER}")
        file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${arg_FOLDER}" "${root}/${arg_FOLDER}" SYMBOLIC)
    endif()
    target_include_directories(${target} PUBLIC "${root}")
    target_link_libraries(${target} PRIVATE veltrane_options)
endfunction()

