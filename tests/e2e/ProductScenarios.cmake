# The shipped launcher and its variants, as administrators run them.
add_launcher_variant(launcher_with_legacy_uninstallers
    PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS}
        UNINST EXE "${DEMO_PAYLOAD_STAND_IN_PROGRAM}"
        UNINST2 EXE "${DEMO_PAYLOAD_STAND_IN_PROGRAM}"
    PROMPT_TEXT "An earlier TAVRIN driver will be removed before this one is installed. Continue?"
    PROMPT_CAPTION "TAVRIN Driver Installer")
add_launcher_variant(launcher_without_windows_10
    PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS}
    MANIFEST "${CMAKE_SOURCE_DIR}/tests/manifests/WithoutWindows10.manifest")
set(payloads_without_win10_64 ${LAUNCHER_PRODUCT_PAYLOADS})
list(FIND payloads_without_win10_64 MSI_WIN10_64 name)
math(EXPR type "${name} + 1")
math(EXPR file "${name} + 2")
list(REMOVE_AT payloads_without_win10_64 ${name} ${type} ${file})
add_launcher_variant(launcher_missing_win10_64_package PAYLOADS ${payloads_without_win10_64})
add_launcher_variant(launcher_with_spaced_package_folder
    PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS}
    PRODUCT_FOLDER_NAME "TAVRIN Audio")

add_test(NAME e2e.executable.shipped
    COMMAND ${CHECK_EXECUTABLE} $<TARGET_FILE:InstallerLauncher> --payloads ${PRODUCT_CATALOGUE})
add_test(NAME e2e.executable.legacy_uninstallers_and_prompt
    COMMAND ${CHECK_EXECUTABLE} $<TARGET_FILE:launcher_with_legacy_uninstallers>
            --payloads ${PRODUCT_CATALOGUE} UNINST:EXE UNINST2:EXE --prompt)
add_test(NAME e2e.executable.without_windows_10
    COMMAND ${CHECK_EXECUTABLE} $<TARGET_FILE:launcher_without_windows_10>
            --payloads ${PRODUCT_CATALOGUE} --without-windows-10)

set(x86_passive "--expect-run=vcredist_x86.exe|/passive /norestart")
set(x64_passive "--expect-run=vcredist_x64.exe|/passive /norestart")
add_scenario(typical_windows_10_64 PREFIX win10-64 LAUNCHER InstallerLauncher
    --expect-exit 0 ${x86_passive} ${x64_passive} --expect-installed MSI_WIN10_64 --expect-package-file)
add_scenario(windows_7_32 PREFIX win7-32 LAUNCHER InstallerLauncher
    --expect-exit 0 ${x86_passive} --expect-installed MSI32 --expect-package-file)
add_scenario(windows_8_1_64 PREFIX win81-64 LAUNCHER InstallerLauncher
    --expect-exit 0 ${x86_passive} ${x64_passive} --expect-installed MSI64)
add_scenario(without_windows_10_manifest_entry PREFIX win10-64 LAUNCHER launcher_without_windows_10
    --expect-exit 0 --expect-installed MSI64)
add_scenario(quiet PREFIX win10-64 LAUNCHER InstallerLauncher --arguments=-quiet
    --expect-exit 0 "--expect-run=vcredist_x86.exe|/q /norestart" "--expect-run=vcredist_x64.exe|/q /norestart"
    --expect-installed MSI_WIN10_64)
add_scenario(msiargs_with_spaced_package_path PREFIX win10-64 LAUNCHER launcher_with_spaced_package_folder
    "--arguments=-msiargs \"/i $MSIPATH /qn\"" --expect-exit 0 --expect-installed MSI_WIN10_64)
add_scenario(prerequisite_fails PREFIX win10-64 LAUNCHER InstallerLauncher
    --exit-code=vcredist_x86.exe=1603 --expect-exit 1603 ${x86_passive} --expect-installed=)
add_scenario(prerequisite_wants_restart PREFIX win10-64 LAUNCHER InstallerLauncher
    --exit-code=vcredist_x86.exe=3010 --expect-exit 3010 ${x86_passive} ${x64_passive}
    --expect-installed MSI_WIN10_64)
add_scenario(missing_package_resource PREFIX win10-64 LAUNCHER launcher_missing_win10_64_package
    --expect-exit 1814 "--expect-stdout=LocateResource failed \\(1814\\)" --expect-installed=)

# Preparing the machine.
add_launcher_variant(launcher_ending_processes PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS}
    PROCESS_NAMES TavrinTray.exe "C:\\Tools\\TavrinHelper.exe")
set(earlier_codes ${DEMO_EARLIER_PRODUCT_A_CODE} ${DEMO_EARLIER_PRODUCT_B_CODE} ${DEMO_EARLIER_PRODUCT_C_CODE})
add_launcher_variant(launcher_removing_earlier_products PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS}
    PRODUCT_CODES_32 ${earlier_codes} PRODUCT_CODES_64 ${earlier_codes})

add_scenario(ends_listed_processes PREFIX win10-64 LAUNCHER launcher_ending_processes
    ${WITH_WAITING_PROGRAM} --start-process TavrinTray.exe --start-process TavrinTray.exe
    --start-process tavrintray.exe --start-process TavrinHelper.exe
    --expect-ended TavrinTray.exe --expect-running tavrintray.exe --expect-running TavrinHelper.exe
    --expect-exit 0 --expect-installed MSI_WIN10_64)
# On 64-bit Windows only the 64-bit view counts: B (x64) goes, A (x86) stays.
add_scenario(removes_earlier_products_in_the_64_bit_view PREFIX win10-64 LAUNCHER launcher_removing_earlier_products
    --preinstall ${DEMO_EARLIER_PRODUCT_A} --preinstall ${DEMO_EARLIER_PRODUCT_B}
    "--expect-present=Program Files (x86)/Kesmora/TAVRIN/EarlierProductA.txt"
    "--expect-absent=Program Files/Kesmora/TAVRIN/EarlierProductB.txt"
    --expect-exit 0 --expect-installed MSI_WIN10_64)
add_scenario(removes_registered_earlier_products PREFIX win7-32 LAUNCHER launcher_removing_earlier_products
    --preinstall ${DEMO_EARLIER_PRODUCT_A} --preinstall ${DEMO_EARLIER_PRODUCT_C}
    "--expect-absent=Program Files/Kesmora/TAVRIN/EarlierProductA.txt"
    "--expect-absent=Program Files/Kesmora/TAVRIN/EarlierProductC.txt"
    --expect-exit 0 --expect-installed MSI32)
add_scenario(notifies_running_service PREFIX win10-64 LAUNCHER InstallerLauncher
    ${WITH_SERVICE} --service-running --expect-service-controls 128 --expect-exit 0 --expect-installed MSI_WIN10_64)
add_scenario(leaves_stopped_service_alone PREFIX win10-64 LAUNCHER InstallerLauncher
    ${WITH_SERVICE} --expect-service-controls= --expect-exit 0 --expect-installed MSI_WIN10_64)

# The prompt of a build that carries legacy uninstallers, on a virtual display.
add_scenario(prompt_answered_yes PREFIX win10-64 LAUNCHER launcher_with_legacy_uninstallers
    --answer-prompt y --screenshot "${CMAKE_CURRENT_BINARY_DIR}/artifacts/prompt.png"
    ${x86_passive} ${x64_passive} "--expect-run=vq_isu.exe|" "--expect-run=vq_isu2.exe|"
    --expect-exit 0 --expect-installed MSI_WIN10_64)
add_scenario(prompt_answered_no PREFIX win10-64 LAUNCHER launcher_with_legacy_uninstallers
    --answer-prompt n --expect-no-runs --expect-exit 1602 --expect-installed=)

# The backup holds the whole settings tree while the package installs.
add_scenario(backs_up_driver_settings PREFIX win10-64 LAUNCHER InstallerLauncher
    --driver-settings "${CMAKE_CURRENT_SOURCE_DIR}/DriverSettings.reg.in" --expect-exit 0 --expect-installed MSI_WIN10_64)
