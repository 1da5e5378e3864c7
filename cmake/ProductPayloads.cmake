# The payload files of the shipped product build. A vendor points these cache
# variables at the real runtime redistributables and driver packages, for
# example: cmake --preset windows-x86 -DLAUNCHER_PAYLOAD_MSI_WIN10_64=/path/Driver.msi
# An empty one (the default) embeds the demo payload built from payloads/.
# A build that embeds no demo payload builds neither them nor the tests,
# which run the demo payloads: LAUNCHER_DEMO_PAYLOADS tells which it is.
set(_product_catalogue
    "VC2005_REDIST_32|EXE|32-bit runtime prerequisite installer"
    "VC2005_REDIST_64|EXE|64-bit runtime prerequisite installer"
    "MSI32|MSI|driver package, 32-bit Windows before 10"
    "MSI64|MSI|driver package, 64-bit Windows before 10"
    "MSI_WIN10_32|MSI|driver package, 32-bit Windows 10 or later"
    "MSI_WIN10_64|MSI|driver package, 64-bit Windows 10 or later")

set(LAUNCHER_DEMO_PAYLOADS OFF)
foreach(row IN LISTS _product_catalogue)
    string(REPLACE "|" ";" entry "${row}")
    list(GET entry 0 name)
    list(GET entry 1 type)
    list(GET entry 2 meaning)
    set(LAUNCHER_PAYLOAD_${name} "" CACHE FILEPATH "File embedded as the ${type} payload ${name}: ${meaning}; empty: the demo's")
    # A build folder configured before held the demo payload's own path.
    cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${LAUNCHER_PAYLOAD_${name}}" NORMALIZE builtHere)
    if(builtHere)
        set_property(CACHE LAUNCHER_PAYLOAD_${name} PROPERTY VALUE "")
    endif()
    if(LAUNCHER_PAYLOAD_${name} STREQUAL "")
        set(LAUNCHER_DEMO_PAYLOADS ON)
    elseif(NOT EXISTS "${LAUNCHER_PAYLOAD_${name}}")
        message(FATAL_ERROR "LAUNCHER_PAYLOAD_${name} names no file: '${LAUNCHER_PAYLOAD_${name}}'")
    endif()
endforeach()

# Sets LAUNCHER_PRODUCT_PAYLOADS to the product's catalogue, once the demo
# payloads are known.
macro(launcher_product_payloads)
    set(LAUNCHER_PRODUCT_PAYLOADS "")
    foreach(row IN LISTS _product_catalogue)
        string(REPLACE "|" ";" entry "${row}")
        list(GET entry 0 name)
        list(GET entry 1 type)
        if(LAUNCHER_PAYLOAD_${name} STREQUAL "")
            list(APPEND LAUNCHER_PRODUCT_PAYLOADS ${name} ${type} "${DEMO_PAYLOAD_${name}}")
        else()
            list(APPEND LAUNCHER_PRODUCT_PAYLOADS ${name} ${type} "${LAUNCHER_PAYLOAD_${name}}")
        endif()
    endforeach()
endmacro()

# The Windows Installer product codes that tell a runtime prerequisite is
# installed already, so the launcher neither stages nor runs it: a list of
# braced codes per prerequisite, empty (always run) by default, for example
# -DPREREQUISITE_DETECT_VC2005_REDIST_32={...};{...}
set(LAUNCHER_PRODUCT_DETECTION "")
foreach(name IN ITEMS VC2005_REDIST_32 VC2005_REDIST_64)
    set(PREREQUISITE_DETECT_${name} "" CACHE STRING "Product codes of an installed ${name}, any one of which skips it")
    list(APPEND LAUNCHER_PRODUCT_DETECTION PREREQUISITE_DETECT_${name} ${PREREQUISITE_DETECT_${name}})
endforeach()
