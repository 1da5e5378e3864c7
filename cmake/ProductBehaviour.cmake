# What the shipped product does beyond installing its packages, as cache
# variables of the product build, for example
#   cmake --preset windows-x86 "-DPROCESS_NAMES=TavrinTray.exe;TavrinSettings.exe"
# Each is the add_launcher_variant argument of the same name, which checks
# it; by default the product does none of it. Sets LAUNCHER_PRODUCT_BEHAVIOUR
# to the arguments that hand them on.
set(PROCESS_NAMES "" CACHE STRING "Image names of processes to end before the install, a list")
set(PRODUCT_CODES_32 "" CACHE STRING "Earlier products to remove on 32-bit Windows, braced product codes, a list")
set(PRODUCT_CODES_64 "" CACHE STRING "Earlier products to remove on 64-bit Windows, as many as PRODUCT_CODES_32")
set(PROMPT_TEXT "" CACHE STRING "The confirmation prompt's text, asked before legacy uninstallers run")
set(PROMPT_CAPTION "" CACHE STRING "The confirmation prompt's caption")
set(MSI_BUSY_WAIT_SECONDS 600 CACHE STRING "Longest wait, per start of Windows Installer, for another installation")
option(USE_SELF_EXTRACTOR_SWITCHES "Run the prerequisites with a self-extractor's switches" OFF)
option(CONTINUE_AFTER_PREREQUISITE_FAILURE "Go on to the driver package after a failed prerequisite" OFF)
# The legacy uninstallers are payloads too, run as vq_isu.exe and vq_isu2.exe.
foreach(name IN ITEMS UNINST UNINST2)
    set(LAUNCHER_PAYLOAD_${name} "" CACHE FILEPATH "Legacy uninstaller embedded as the EXE payload ${name}; empty: none")
endforeach()

set(LAUNCHER_PRODUCT_BEHAVIOUR PROCESS_NAMES ${PROCESS_NAMES} PRODUCT_CODES_32 ${PRODUCT_CODES_32}
    PRODUCT_CODES_64 ${PRODUCT_CODES_64} MSI_BUSY_WAIT_SECONDS "${MSI_BUSY_WAIT_SECONDS}")
foreach(key IN ITEMS PROMPT_TEXT PROMPT_CAPTION)
    if(NOT ${key} STREQUAL "")
        list(APPEND LAUNCHER_PRODUCT_BEHAVIOUR ${key} "${${key}}")
    endif()
endforeach()
foreach(flag IN ITEMS USE_SELF_EXTRACTOR_SWITCHES CONTINUE_AFTER_PREREQUISITE_FAILURE)
    if(${flag})
        list(APPEND LAUNCHER_PRODUCT_BEHAVIOUR ${flag})
    endif()
endforeach()
foreach(name IN ITEMS UNINST UNINST2)
    if(LAUNCHER_PAYLOAD_${name})
        list(APPEND LAUNCHER_PRODUCT_BEHAVIOUR PAYLOADS ${name} EXE "${LAUNCHER_PAYLOAD_${name}}")
    endif()
endforeach()
