# A 64-bit build of the launcher, run natively on machines that cannot execute
# 32-bit code: it checks the scenario harness, the stand-ins and the packages
# under Wine's Windows Installer. As a 64-bit process it is not under WOW64, so
# it takes any Windows for 32-bit and installs the 32-bit packages.
file(READ "${LAUNCHER_RESOURCES_DIR}/InstallerLauncher.manifest" manifest)
string(REPLACE "processorArchitecture=\"x86\"" "processorArchitecture=\"amd64\"" manifest "${manifest}")
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/Harness.manifest" "${manifest}")
set(harness_manifest MANIFEST "${CMAKE_CURRENT_BINARY_DIR}/Harness.manifest")
add_launcher_variant(harness_launcher PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS} ${harness_manifest})
add_launcher_variant(harness_launcher_ending_processes PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS} ${harness_manifest}
    PROCESS_NAMES TavrinTray.exe "C:\\Tools\\TavrinHelper.exe")
set(earlier_codes ${DEMO_EARLIER_PRODUCT_A_CODE} ${DEMO_EARLIER_PRODUCT_B_CODE} ${DEMO_EARLIER_PRODUCT_C_CODE})
add_launcher_variant(harness_launcher_removing_earlier_products PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS} ${harness_manifest}
    PRODUCT_CODES_32 ${earlier_codes} PRODUCT_CODES_64 ${earlier_codes})

add_scenario(harness_typical PREFIX win10-64 LAUNCHER harness_launcher
    --expect-exit 0 "--expect-run=vcredist_x86.exe|/passive /norestart" --expect-installed MSI_WIN10_32
    --expect-package-file)
add_scenario(harness_quiet PREFIX win10-64 LAUNCHER harness_launcher --arguments=-quiet
    --expect-exit 0 "--expect-run=vcredist_x86.exe|/q /norestart" --expect-installed MSI_WIN10_32)
add_scenario(harness_prerequisite_fails PREFIX win81-64 LAUNCHER harness_launcher
    --exit-code=vcredist_x86.exe=1603 --expect-exit 1603 "--expect-run=vcredist_x86.exe|/passive /norestart"
    --expect-installed=)

# A 64-bit process sees the 64-bit view only: product B (x64) is found and
# removed; A (x86) is registered in the 32-bit view only and is left alone.
add_scenario(harness_removes_registered_earlier_products PREFIX win10-64
    LAUNCHER harness_launcher_removing_earlier_products
    --preinstall ${DEMO_EARLIER_PRODUCT_A} --preinstall ${DEMO_EARLIER_PRODUCT_B}
    "--expect-present=Program Files (x86)/Kesmora/TAVRIN/EarlierProductA.txt"
    "--expect-absent=Program Files/Kesmora/TAVRIN/EarlierProductB.txt"
    --expect-exit 0 --expect-installed MSI_WIN10_32)
add_scenario(harness_ends_listed_processes PREFIX win10-64 LAUNCHER harness_launcher_ending_processes
    ${WITH_WAITING_PROGRAM} --start-process TavrinTray.exe --start-process TavrinTray.exe
    --start-process tavrintray.exe --start-process TavrinHelper.exe
    --expect-ended TavrinTray.exe --expect-running tavrintray.exe --expect-running TavrinHelper.exe
    --expect-exit 0 --expect-installed MSI_WIN10_32)
add_scenario(harness_notifies_running_service PREFIX win10-64 LAUNCHER harness_launcher
    ${WITH_SERVICE} --service-running --expect-service-controls 128 --expect-exit 0 --expect-installed MSI_WIN10_32)
add_scenario(harness_leaves_stopped_service_alone PREFIX win10-64 LAUNCHER harness_launcher
    ${WITH_SERVICE} --expect-service-controls= --expect-exit 0 --expect-installed MSI_WIN10_32)

# The prompt of a build that carries legacy uninstallers, on a virtual display.
add_launcher_variant(harness_launcher_with_legacy_uninstallers ${harness_manifest}
    PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS}
        UNINST EXE "${DEMO_PAYLOAD_STAND_IN_PROGRAM}"
        UNINST2 EXE "${DEMO_PAYLOAD_STAND_IN_PROGRAM}"
    PROMPT_TEXT "An earlier TAVRIN driver will be removed before this one is installed. Continue?"
    PROMPT_CAPTION "TAVRIN Driver Installer")
add_scenario(harness_prompt_answered_yes PREFIX win10-64 LAUNCHER harness_launcher_with_legacy_uninstallers
    --answer-prompt y --screenshot "${CMAKE_CURRENT_BINARY_DIR}/artifacts/harness-prompt.png"
    "--expect-run=vcredist_x86.exe|/passive /norestart" "--expect-run=vq_isu.exe|" "--expect-run=vq_isu2.exe|"
    --expect-exit 0 --expect-installed MSI_WIN10_32)
add_scenario(harness_prompt_answered_no PREFIX win10-64 LAUNCHER harness_launcher_with_legacy_uninstallers
    --answer-prompt n --expect-no-runs --expect-exit 1602 --expect-installed=)

# The backup holds the whole settings tree while the package installs.
add_scenario(harness_backs_up_driver_settings PREFIX win10-64 LAUNCHER harness_launcher
    --driver-settings "${CMAKE_CURRENT_SOURCE_DIR}/DriverSettings.reg.in" --expect-exit 0 --expect-installed MSI_WIN10_32)
