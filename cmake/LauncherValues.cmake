# Checks of a launcher build's values, made when the build is configured: the
# launcher joins them into registry paths and folder paths of an elevated
# run, and a value of the wrong form there misplaces what the run writes or
# deletes. A value that fails stops the configure step with a message that
# names its variable.

string(REPEAT "[0-9A-Fa-f]" 4 _hex4)
set(_braced_guid "^{${_hex4}${_hex4}-${_hex4}-${_hex4}-${_hex4}-${_hex4}${_hex4}${_hex4}}$")
string(ASCII 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127 _controls)

function(_launcher_refuse target variable value reason)
    message(FATAL_ERROR "add_launcher_variant(${target}): ${variable} ${reason}: '${value}'")
endfunction()

# The settings key's name, and the backup key's after it: one key, braces
# included.
function(launcher_check_guid target variable value)
    if(NOT value MATCHES "${_braced_guid}")
        _launcher_refuse(${target} ${variable} "${value}" "is not a braced GUID")
    endif()
endfunction()

# A single name of a service, folder or file. characters are the ones it may
# not hold besides control characters.
function(launcher_check_name target variable value characters)
    if(value STREQUAL "" OR value MATCHES "^\\.\\.?$" OR value MATCHES "[${characters}${_controls}]")
        _launcher_refuse(${target} ${variable} "${value}" "is not a single name free of [${characters}] and control characters")
    endif()
endfunction()

# A payload exists when the build is configured, unless the build makes it
# itself below its own tree.
function(launcher_check_payload target variable file)
    cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${file}" NORMALIZE builtHere)
    if(NOT IS_ABSOLUTE "${file}" OR IS_DIRECTORY "${file}" OR (NOT EXISTS "${file}" AND NOT builtHere))
        _launcher_refuse(${target} ${variable} "${file}" "names no existing file by its full path")
    endif()
endfunction()

# A version of four numbers, each one 16-bit word of the fixed version.
function(launcher_check_version target variable value)
    if(NOT value MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
        _launcher_refuse(${target} ${variable} "${value}" "is not four numbers joined by dots")
    endif()
    foreach(part IN ITEMS 1 2 3 4)
        string(LENGTH "${CMAKE_MATCH_${part}}" digits)
        if(digits GREATER 5 OR CMAKE_MATCH_${part} GREATER 65535)
            _launcher_refuse(${target} ${variable} "${value}" "has a number that is not 0 to 65535")
        endif()
    endforeach()
endfunction()

# A text of the version block: one line the resource script can carry.
function(launcher_check_text target variable value)
    if(value STREQUAL "" OR value MATCHES "[${_controls}]")
        _launcher_refuse(${target} ${variable} "${value}" "is not one line of text free of control characters")
    endif()
endfunction()

# Checks the value of variable (an add_launcher_variant keyword; a payload as
# "PAYLOADS <name>") by what the launcher makes of it.
function(launcher_check_value target variable value)
    set(pathSeparators "/\\\\")
    set(fileNameReserved "<>:\"|?*${pathSeparators}")
    set(fileNames VENDOR_FOLDER_NAME INSTALLERS_FOLDER_NAME PRODUCT_FOLDER_NAME PACKAGE_FILE_NAME PROCESS_NAMES)
    list(JOIN fileNames "|" fileNames)
    if(variable MATCHES "^(SETTINGS_GUID|PRODUCT_CODES_32|PRODUCT_CODES_64)$")
        launcher_check_guid(${target} ${variable} "${value}")
    elseif(variable STREQUAL "DEVICE_MONITOR_SERVICE_NAME")
        launcher_check_name(${target} ${variable} "${value}" "${pathSeparators}")
    elseif(variable MATCHES "^(${fileNames})$")
        launcher_check_name(${target} ${variable} "${value}" "${fileNameReserved}")
    elseif(variable MATCHES "^PAYLOADS |^PRODUCT_ICON$")
        launcher_check_payload(${target} "${variable}" "${value}")
    elseif(variable STREQUAL "PRODUCT_VERSION")
        launcher_check_version(${target} ${variable} "${value}")
    elseif(variable MATCHES "^(VENDOR_DISPLAY_NAME|PRODUCT_DISPLAY_NAME|PRODUCT_LEGAL_NOTICE)$")
        launcher_check_text(${target} ${variable} "${value}")
    endif()
endfunction()
