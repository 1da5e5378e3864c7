# A 64-bit build of the launcher, run natively on machines that cannot execute
# 32-bit code: it checks the scenario harness, the stand-ins and the packages
# under Wine's Windows Installer. As a 64-bit process it is not under WOW64, so
# it takes any Windows for 32-bit: it installs the 32-bit packages and runs
# only the 32-bit prerequisite.
file(READ "${LAUNCHER_RESOURCES_DIR}/InstallerLauncher.manifest" manifest)
string(REPLACE "processorArchitecture=\"x86\"" "processorArchitecture=\"amd64\"" manifest "${manifest}")
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/Harness.manifest" "${manifest}")
set(E2E_NAME harness_)
set(E2E_LAUNCHER harness_launcher)
set(E2E_VARIANT_OPTIONS MANIFEST "${CMAKE_CURRENT_BINARY_DIR}/Harness.manifest")
set(E2E_PACKAGE MSI_WIN10_32)
set(E2E_PREREQUISITES vcredist_x86.exe)
add_launcher_variant(harness_launcher PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS} ${E2E_VARIANT_OPTIONS})
include(SharedScenarios.cmake)

# Killed before each change, on both 64-bit Windows, which remove the 64-bit
# earlier products.
add_killed_at_call_launcher(harness_killed_at_call ${E2E_VARIANT_OPTIONS})
foreach(row IN ITEMS "win81-64|MSI32" "win10-64|MSI_WIN10_32")
    string(REPLACE "|" ";" kill "${row}")
    list(GET kill 0 prefix)
    list(GET kill 1 package)
    add_killed_before_each_change(harness_run_killed_before_each_change PREFIX ${prefix}
        LAUNCHER harness_killed_at_call PACKAGE ${package} EARLIER B D)
endforeach()
