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

# veltrane_form_dependencies(<target>...): each Designer form X.ui of the targets becomes an input of X.cpp. The form's
# generated header ui_X.h is written by the target's automatic UIC step, which Ninja knows only as an order-only step
# whose outputs do not include the header; X.cpp's object depends on the header through the compiler's dependency file
# alone, and Ninja looks at those inputs before the build starts. An edited form therefore regenerated its header but
# left X.cpp's object as it was until a second build. With the form as an input of its own, one build is enough.
function(veltrane_form_dependencies)
    foreach(target IN LISTS ARGN)
        get_target_property(sources ${target} SOURCES)
        get_target_property(folder ${target} SOURCE_DIR)
        foreach(source IN LISTS sources)
            if(source MATCHES "\\.ui$")
                cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${folder}" OUTPUT_VARIABLE form)
                string(REGEX REPLACE "\\.ui$" ".cpp" code "${form}")
                set_source_files_properties("${code}" TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS "${form}")
            endif()
        endforeach()
    endforeach()
endfunction()
