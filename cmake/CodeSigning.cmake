# Authenticode signing of the shipped executable. Off unless a vendor names a
# code-signing certificate, signed with osslsigncode, for example:
#   cmake --preset windows-x86 -DLAUNCHER_SIGNING_PKCS12=/keys/vendor.p12 \
#       -DLAUNCHER_SIGNING_PASSWORD_FILE=/keys/vendor.pass \
#       -DLAUNCHER_SIGNING_TIMESTAMP_URL=http://timestamp.example.com
# or a signing command of its own, for a key in a hardware token or a signing
# service, which signs the file {file} names in place:
#   cmake --preset windows-x86 "-DLAUNCHER_SIGNING_COMMAND=/keys/sign-with-token.sh;{file}"
# osslsigncode also writes the PE checksum of the signed file.
set(LAUNCHER_SIGNING_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file with the code-signing certificate and its key; empty builds an unsigned executable")
set(LAUNCHER_SIGNING_PASSWORD_FILE "" CACHE FILEPATH
    "File holding the PKCS#12 file's password on one line; empty for a file without one")
set(LAUNCHER_SIGNING_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 time-stamping server that counter-signs the signature; empty for none")
set(LAUNCHER_SIGNING_COMMAND "" CACHE STRING
    "Program and arguments, a list, that sign the file {file} names in place; instead of LAUNCHER_SIGNING_PKCS12")

# Signs through the vendor's own command, which the build runs on a copy of
# the linked file (SignWithCommand.cmake).
function(_sign_launcher_with_command target)
    if(LAUNCHER_SIGNING_PKCS12)
        message(FATAL_ERROR "LAUNCHER_SIGNING_COMMAND and LAUNCHER_SIGNING_PKCS12 are both set; set one")
    endif()
    if(NOT LAUNCHER_SIGNING_COMMAND MATCHES "{file}")
        message(FATAL_ERROR "LAUNCHER_SIGNING_COMMAND names no {file} to sign: '${LAUNCHER_SIGNING_COMMAND}'")
    endif()
    set(signer "${CMAKE_BINARY_DIR}/signing/${target}-command.cmake")
    file(CONFIGURE OUTPUT "${signer}" CONTENT "set(SIGNING_COMMAND [==[${LAUNCHER_SIGNING_COMMAND}]==])\n")
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" "-DFILE=$<TARGET_FILE:${target}>" "-DSIGNER=${signer}"
                -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/SignWithCommand.cmake"
        COMMENT "Signing $<TARGET_FILE_NAME:${target}> with ${LAUNCHER_SIGNING_COMMAND}"
        VERBATIM)
endfunction()

# Signs <target>'s executable in place after every link, when signing is on.
# A change of the signing settings or of the certificate file links again, so
# that turning signing on or off takes effect in an existing build folder.
function(sign_launcher target)
    set(settings "${CMAKE_BINARY_DIR}/signing/${target}.txt")
    file(CONFIGURE OUTPUT "${settings}" CONTENT "${LAUNCHER_SIGNING_PKCS12}\n${LAUNCHER_SIGNING_PASSWORD_FILE}\n\
${LAUNCHER_SIGNING_TIMESTAMP_URL}\n${LAUNCHER_SIGNING_COMMAND}\n")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${settings}")
    if(LAUNCHER_SIGNING_COMMAND)
        _sign_launcher_with_command(${target})
        return()
    endif()
    if(NOT LAUNCHER_SIGNING_PKCS12)
        return()
    endif()
    foreach(file IN ITEMS LAUNCHER_SIGNING_PKCS12 LAUNCHER_SIGNING_PASSWORD_FILE)
        if(${file} AND NOT EXISTS "${${file}}")
            message(FATAL_ERROR "${file} names no file: '${${file}}'")
        endif()
    endforeach()
    find_program(OSSLSIGNCODE osslsigncode REQUIRED)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${LAUNCHER_SIGNING_PKCS12}")

    set(options -pkcs12 "${LAUNCHER_SIGNING_PKCS12}" -h sha256)
    if(LAUNCHER_SIGNING_PASSWORD_FILE)
        list(APPEND options -readpass "${LAUNCHER_SIGNING_PASSWORD_FILE}")
    endif()
    if(LAUNCHER_SIGNING_TIMESTAMP_URL)
        list(APPEND options -ts "${LAUNCHER_SIGNING_TIMESTAMP_URL}")
    endif()
    set(signed "$<TARGET_FILE:${target}>.signed")
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" -E rm -f "${signed}"
        COMMAND "${OSSLSIGNCODE}" sign ${options} -in "$<TARGET_FILE:${target}>" -out "${signed}"
        COMMAND "${CMAKE_COMMAND}" -E rename "${signed}" "$<TARGET_FILE:${target}>"
        COMMENT "Signing $<TARGET_FILE_NAME:${target}> with ${LAUNCHER_SIGNING_PKCS12}"
        VERBATIM)
endfunction()
