# add_launcher_variant(<target>
#     [OUTPUT_DIRECTORY <dir>]          default: <build>/variants/<target>
#     [PAYLOADS <name> <type> <file> ...] the resource catalogue, EXE or MSI
#     [PROMPT_TEXT <text>] [PROMPT_CAPTION <text>]  string resources 500, 501
#     [MANIFEST <file>]                 default: the shipped manifest
#     [PROCESS_NAMES <name>...] [PRODUCT_CODES_32 <code>...] [PRODUCT_CODES_64 <code>...]
#     [DRIVERS_KEY_PATH <path>] [SETTINGS_GUID <guid>]
#     [DEVICE_MONITOR_SERVICE_NAME <name>] [VENDOR_FOLDER_NAME <name>]
#     [INSTALLERS_FOLDER_NAME <name>] [PRODUCT_FOLDER_NAME <name>]
#     [PACKAGE_FILE_NAME <name>]        the product's identity, by default
#                                       the shipped one (ProductIdentity.cmake)
#     [PREREQUISITE_DETECT_VC2005_REDIST_32 <code>...]
#     [PREREQUISITE_DETECT_VC2005_REDIST_64 <code>...]
#                                       Windows Installer product codes, braced
#                                       GUIDs: when one is installed, that
#                                       prerequisite is neither staged nor run
#     [MSI_BUSY_WAIT_SECONDS <seconds>] default 600: how long one start of
#                                       Windows Installer waits while another
#                                       installation runs, before the step's
#                                       result is 1618
#     [USE_SELF_EXTRACTOR_SWITCHES] [CONTINUE_AFTER_PREREQUISITE_FAILURE])
#
# Builds InstallerLauncher.exe from the common code with this build's own
# configuration values, resource catalogue, prompt strings and manifest, and
# the tree's version block and icon (ProductDisplay.cmake).
# Values not given are those of the shipped product. Each value is checked
# (LauncherValues.cmake) before anything is generated from it.

include(LauncherValues)
include(PackageFacts)
include(ProductIdentity)
include(ProductDisplay)

function(launcher_wide_literal out value)
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\\\"" value "${value}")
    set(${out} "L\"${value}\"" PARENT_SCOPE)
endfunction()

# An initialiser list for a table; an empty table holds one empty string.
function(_launcher_table out)
    set(entries "")
    foreach(item IN LISTS ARGN)
        launcher_wide_literal(literal "${item}")
        list(APPEND entries "${literal}")
    endforeach()
    if(NOT entries)
        set(entries "L\"\"")
    endif()
    list(JOIN entries ", " joined)
    set(${out} "${joined}" PARENT_SCOPE)
endfunction()

# A quoted string of the resource script, which the build writes in UTF-8:
# the resource compiler reads a backslash as the start of an escape and a
# doubled quote as one quote.
function(_launcher_rc_string out value)
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\"\"" value "${value}")
    set(${out} "\"${value}\"" PARENT_SCOPE)
endfunction()

function(_launcher_bool out flag)
    if(flag)
        set(${out} "true" PARENT_SCOPE)
    else()
        set(${out} "false" PARENT_SCOPE)
    endif()
endfunction()

function(add_launcher_variant target)
    cmake_parse_arguments(PARSE_ARGV 1 V
        "USE_SELF_EXTRACTOR_SWITCHES;CONTINUE_AFTER_PREREQUISITE_FAILURE"
        "OUTPUT_DIRECTORY;MANIFEST;PROMPT_TEXT;PROMPT_CAPTION;${PRODUCT_IDENTITY_KEYS};MSI_BUSY_WAIT_SECONDS"
        "PAYLOADS;PROCESS_NAMES;PRODUCT_CODES_32;PRODUCT_CODES_64;PREREQUISITE_DETECT_VC2005_REDIST_32;PREREQUISITE_DETECT_VC2005_REDIST_64")
    if(V_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "add_launcher_variant(${target}): unknown arguments ${V_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT DEFINED V_OUTPUT_DIRECTORY)
        set(V_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/variants/${target}")
    endif()
    if(NOT DEFINED V_MANIFEST)
        set(V_MANIFEST "${LAUNCHER_RESOURCES_DIR}/InstallerLauncher.manifest")
    endif()
    foreach(key IN LISTS PRODUCT_IDENTITY_KEYS)
        if(NOT DEFINED V_${key})
            set(V_${key} "${${key}}")
        endif()
    endforeach()
    if(NOT DEFINED V_MSI_BUSY_WAIT_SECONDS)
        set(V_MSI_BUSY_WAIT_SECONDS 600)
    endif()

    list(LENGTH V_PRODUCT_CODES_32 codes32)
    list(LENGTH V_PRODUCT_CODES_64 codes64)
    if(NOT codes32 EQUAL codes64)
        message(FATAL_ERROR "add_launcher_variant(${target}): both product-code tables need the same number of codes")
    endif()
    foreach(key IN LISTS PRODUCT_IDENTITY_KEYS)
        launcher_check_value(${target} ${key} "${V_${key}}")
    endforeach()
    foreach(table IN ITEMS PRODUCT_CODES_32 PRODUCT_CODES_64)
        foreach(code IN LISTS V_${table})
            launcher_check_value(${target} ${table} "${code}")
        endforeach()
    endforeach()
    foreach(key IN LISTS PRODUCT_DISPLAY_KEYS)
        launcher_check_value(${target} ${key} "${${key}}")
    endforeach()
    if(PRODUCT_ICON)
        launcher_check_value(${target} PRODUCT_ICON "${PRODUCT_ICON}")
        set(icon "${PRODUCT_ICON}")
    else()
        set(icon "${LAUNCHER_ICON}")
    endif()
    foreach(processName IN LISTS V_PROCESS_NAMES)
        launcher_check_value(${target} PROCESS_NAMES "${processName}")
    endforeach()
    list(LENGTH V_PROCESS_NAMES processNameCount)
    if(NOT V_MSI_BUSY_WAIT_SECONDS MATCHES "^[0-9]+$" OR V_MSI_BUSY_WAIT_SECONDS GREATER 2147483647)
        message(FATAL_ERROR "add_launcher_variant(${target}): MSI_BUSY_WAIT_SECONDS is a whole number of seconds")
    endif()

    set(generated "${CMAKE_CURRENT_BINARY_DIR}/${target}")

    # Configuration values.
    foreach(key IN LISTS PRODUCT_IDENTITY_KEYS)
        launcher_wide_literal(LAUNCHER_${key} "${V_${key}}")
    endforeach()
    _launcher_table(LAUNCHER_PRODUCT_CODES_32 ${V_PRODUCT_CODES_32})
    _launcher_table(LAUNCHER_PRODUCT_CODES_64 ${V_PRODUCT_CODES_64})
    _launcher_table(LAUNCHER_PROCESS_NAMES ${V_PROCESS_NAMES})
    foreach(payload IN ITEMS VC2005_REDIST_32 VC2005_REDIST_64)
        foreach(code IN LISTS V_PREREQUISITE_DETECT_${payload})
            launcher_check_guid(${target} PREREQUISITE_DETECT_${payload} "${code}")
        endforeach()
        _launcher_table(LAUNCHER_DETECT_${payload} ${V_PREREQUISITE_DETECT_${payload}})
        list(LENGTH V_PREREQUISITE_DETECT_${payload} LAUNCHER_DETECT_${payload}_COUNT)
    endforeach()
    set(LAUNCHER_PRODUCT_CODE_COUNT ${codes32})
    set(LAUNCHER_PROCESS_NAME_COUNT ${processNameCount})
    set(LAUNCHER_MSI_BUSY_WAIT_SECONDS ${V_MSI_BUSY_WAIT_SECONDS})
    _launcher_bool(LAUNCHER_USE_SELF_EXTRACTOR_SWITCHES ${V_USE_SELF_EXTRACTOR_SWITCHES})
    _launcher_bool(LAUNCHER_CONTINUE_AFTER_PREREQUISITE_FAILURE ${V_CONTINUE_AFTER_PREREQUISITE_FAILURE})

    # Resource catalogue and prompt strings.
    set(LAUNCHER_PAYLOAD_RESOURCES "")
    set(payloadFiles "")
    set(driverResources "")
    set(driverCodes "")
    set(driverVersions "")
    list(LENGTH V_PAYLOADS payloadWords)
    math(EXPR payloadRemainder "${payloadWords} % 3")
    if(NOT payloadRemainder EQUAL 0)
        message(FATAL_ERROR "add_launcher_variant(${target}): PAYLOADS takes name, type and file for each payload")
    endif()
    while(V_PAYLOADS)
        list(POP_FRONT V_PAYLOADS name type file)
        if(NOT type MATCHES "^(EXE|MSI)$")
            message(FATAL_ERROR "add_launcher_variant(${target}): payload ${name} has type ${type}, not EXE or MSI")
        endif()
        launcher_check_value(${target} "PAYLOADS ${name}" "${file}")
        _launcher_rc_string(quotedFile "${file}")
        string(APPEND LAUNCHER_PAYLOAD_RESOURCES "${name} ${type} ${quotedFile}\n")
        list(APPEND payloadFiles "${file}")
        if(type STREQUAL "MSI" AND name MATCHES "^(MSI32|MSI64|MSI_WIN10_32|MSI_WIN10_64)$")
            launcher_package_facts(${target} ${name} "${file}" code version)
            list(APPEND driverResources ${name})
            list(APPEND driverCodes "${code}")
            list(APPEND driverVersions "${version}")
        endif()
    endwhile()
    _launcher_table(LAUNCHER_DRIVER_PACKAGE_RESOURCES ${driverResources})
    _launcher_table(LAUNCHER_DRIVER_PRODUCT_CODES ${driverCodes})
    _launcher_table(LAUNCHER_DRIVER_PRODUCT_VERSIONS ${driverVersions})
    list(LENGTH driverResources LAUNCHER_DRIVER_PACKAGE_COUNT)
    configure_file("${LAUNCHER_CONFIG_TEMPLATE}" "${generated}/LauncherConfig.cpp" @ONLY)
    set(LAUNCHER_PROMPT_STRINGS "")
    set(promptEntries "")
    foreach(row IN ITEMS "PROMPT_TEXT|PromptTextId" "PROMPT_CAPTION|PromptCaptionId")
        string(REPLACE "|" ";" entry "${row}")
        list(GET entry 0 key)
        list(GET entry 1 id)
        if(DEFINED V_${key})
            _launcher_rc_string(text "${V_${key}}")
            string(APPEND promptEntries "    ${id}, ${text}\n")
        endif()
    endforeach()
    if(promptEntries)
        set(LAUNCHER_PROMPT_STRINGS "STRINGTABLE\nBEGIN\n${promptEntries}END\n")
    endif()
    _launcher_rc_string(LAUNCHER_MANIFEST "${V_MANIFEST}")
    _launcher_rc_string(LAUNCHER_ICON_FILE "${icon}")
    configure_file("${LAUNCHER_RESOURCES_DIR}/InstallerLauncher.rc.in" "${generated}/InstallerLauncher.rc" @ONLY)

    # The version block, which the script above includes from its own folder.
    string(REPLACE "." "," LAUNCHER_FIXED_VERSION "${PRODUCT_VERSION}")
    string(REGEX REPLACE "\\.[0-9]+$" "" productVersion "${PRODUCT_VERSION}")
    _launcher_rc_string(LAUNCHER_FILE_VERSION "${PRODUCT_VERSION}")
    _launcher_rc_string(LAUNCHER_PRODUCT_VERSION "${productVersion}")
    _launcher_rc_string(LAUNCHER_VENDOR_DISPLAY_NAME "${VENDOR_DISPLAY_NAME}")
    _launcher_rc_string(LAUNCHER_PRODUCT_DISPLAY_NAME "${PRODUCT_DISPLAY_NAME}")
    _launcher_rc_string(LAUNCHER_LEGAL_NOTICE "${PRODUCT_LEGAL_NOTICE}")
    configure_file("${LAUNCHER_RESOURCES_DIR}/VersionBlock.rc.in" "${generated}/VersionBlock.rc" @ONLY)
    set_source_files_properties("${generated}/InstallerLauncher.rc" PROPERTIES
        OBJECT_DEPENDS "${payloadFiles};${V_MANIFEST};${icon};${generated}/VersionBlock.rc")

    add_executable(${target} WIN32
        "${generated}/LauncherConfig.cpp"
        "${generated}/InstallerLauncher.rc"
        $<TARGET_OBJECTS:launcher_entry>)
    target_include_directories(${target} PRIVATE "${LAUNCHER_RESOURCES_DIR}")
    target_link_libraries(${target} PRIVATE launcher_sequence launcher_container_failures launcher_executable_options
        launcher_link_time_code)
    # Stripped of symbols and of the sweep's line tables: saves 180 KB.
    target_link_options(${target} PRIVATE -municode -s)
    # The whole launcher optimised for size as one program, in one partition
    # so that nothing is kept twice.
    target_link_options(${target} PRIVATE -flto -flto-partition=one -Oz)
    # Unwind tables only for the code linked: saves nothing beside
    # StringInstantiation.h, which keeps the runtime's string members out
    # first, and 55 KB without it.
    link_with_reachable_unwind_tables(${target})
    add_dependencies(${target} launcher_icon)
    if(TARGET demo_payloads)
        add_dependencies(${target} demo_payloads)
    endif()
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME InstallerLauncher
        RUNTIME_OUTPUT_DIRECTORY "${V_OUTPUT_DIRECTORY}")
endfunction()
