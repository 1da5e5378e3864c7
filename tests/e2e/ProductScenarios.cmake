# The shipped launcher and its variants, as administrators run them.
set(E2E_NAME launcher_)
set(E2E_LAUNCHER InstallerLauncher)
set(E2E_VARIANT_OPTIONS "")
set(E2E_PACKAGE MSI_WIN10_64)
set(E2E_PREREQUISITES vcredist_x86.exe vcredist_x64.exe)
include(SharedScenarios.cmake)
include(ReadmeExamples.cmake)
include(ReleaseBuilds.cmake)

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
            --payloads ${PRODUCT_CATALOGUE} UNINST:EXE UNINST2:EXE
            --prompt "${legacy_prompt_text}" "${legacy_prompt_caption}")
# Prompt texts beyond ASCII with a backslash and quotes, which the resource
# compiler would read as escapes, and build values that need escaping in code.
set(german_prompt_text "Möchten Sie den \"älteren\" TAVRIN-Treiber aus C:\\x41\\Treiber entfernen? Preis: 0 €")
set(german_prompt_caption "TAVRIN-Treiberinstallation «ß»")
set(quoted_service_name "TAVRIN\"Audio\"DevMon")
set(non_ascii_folder_name "TAVRIN Ö")
set(quoted_drivers_key_path "Software\\Kesmora\\x41\"Äudio\"")
add_launcher_variant(launcher_with_non_ascii_values
    PAYLOADS UNINST EXE "${DEMO_PAYLOAD_STAND_IN_PROGRAM}"
    PROMPT_TEXT "${german_prompt_text}" PROMPT_CAPTION "${german_prompt_caption}"
    DEVICE_MONITOR_SERVICE_NAME "${quoted_service_name}"
    PRODUCT_FOLDER_NAME "${non_ascii_folder_name}"
    DRIVERS_KEY_PATH "${quoted_drivers_key_path}")
add_test(NAME e2e.executable.non_ascii_prompt_and_escaped_values
    COMMAND ${CHECK_EXECUTABLE} $<TARGET_FILE:launcher_with_non_ascii_values> --payloads UNINST:EXE
            --prompt "${german_prompt_text}" "${german_prompt_caption}"
            "--contains-text=${quoted_service_name}" "--contains-text=${non_ascii_folder_name}"
            "--contains-text=${quoted_drivers_key_path}")
add_test(NAME e2e.executable.without_windows_10
    COMMAND ${CHECK_EXECUTABLE} $<TARGET_FILE:launcher_without_windows_10>
            --payloads ${PRODUCT_CATALOGUE} --without-windows-10)

set(x86_passive "--expect-run=vcredist_x86.exe|/passive /norestart")
set(x64_passive "--expect-run=vcredist_x64.exe|/passive /norestart")
add_scenario(windows_7_32 PREFIX win7-32 LAUNCHER InstallerLauncher
    --expect-exit 0 ${x86_passive} --expect-installed MSI32 --expect-package-file)
add_scenario(windows_8_1_64 PREFIX win81-64 LAUNCHER InstallerLauncher
    --expect-exit 0 ${x86_passive} ${x64_passive} --expect-installed MSI64)
add_scenario(without_windows_10_manifest_entry PREFIX win10-64 LAUNCHER launcher_without_windows_10
    --expect-exit 0 --expect-installed MSI64)
add_scenario(msiargs_with_spaced_package_path PREFIX win10-64 LAUNCHER launcher_with_spaced_package_folder
    "--arguments=-msiargs \"/i $MSIPATH /qn\"" --expect-exit 0 --expect-installed MSI_WIN10_64)
add_scenario(missing_package_resource PREFIX win10-64 LAUNCHER launcher_missing_win10_64_package
    --expect-exit 1814 "--expect-stdout=LocateResource failed \\(1814\\)" --expect-installed=)
add_scenario(removes_registered_earlier_products PREFIX win7-32 LAUNCHER launcher_removing_earlier_products
    --preinstall ${DEMO_EARLIER_PRODUCT_A} --preinstall ${DEMO_EARLIER_PRODUCT_C}
    "--expect-absent=Program Files/${STAND_IN_FOLDER}/EarlierProductA.txt"
    "--expect-absent=Program Files/${STAND_IN_FOLDER}/EarlierProductC.txt"
    --expect-exit 0 --expect-installed MSI32)

# The shipped launcher ended from outside at each step boundary the journals
# and the machine reveal, then run again in the same prefix: at once, 40 ms
# in, a prerequisite started, each prerequisite ended, the package file
# there, Windows Installer started and ended.
add_killed_at_call_launcher(launcher_killed_at_call)
string(REPLACE "/" "\\" package_file "C:/${PACKAGE_FOLDER}/${PACKAGE_FILE_NAME}")
foreach(row IN ITEMS "win7-32|MSI32||A,C" "win81-64|MSI64|vcredist_x64.exe|B,D"
        "win10-64|MSI_WIN10_64|vcredist_x64.exe|B,D")
    string(REPLACE "|" ";" kill "${row}")
    list(GET kill 0 prefix)
    list(GET kill 1 package)
    list(GET kill 2 second_prerequisite)
    list(GET kill 3 earlier)
    string(REPLACE "," ";" earlier "${earlier}")
    set(kill_points --kill-at start@0 --kill-at start@40 --kill-at journal:1@0 --kill-at after:vcredist_x86.exe@0)
    if(second_prerequisite)
        list(APPEND kill_points --kill-at after:${second_prerequisite}@0)
    endif()
    list(APPEND kill_points "--kill-at=file:${package_file}@0" --kill-at process:msiexec.exe@0
        --kill-at after:msiexec.exe@0)
    scenario_prefix_options(prefixOptions ${prefix})
    add_test(NAME e2e.kill.${prefix}.shipped_run_ended_at_any_moment
        COMMAND /usr/bin/python3 "${CMAKE_CURRENT_SOURCE_DIR}/kill_scenario.py" ${prefixOptions}
                --launcher $<TARGET_FILE:InstallerLauncher> --probe $<TARGET_FILE:launch_probe>
                --kill-probe $<TARGET_FILE:kill_probe>
                --driver-settings "${DRIVER_SETTINGS}"
                --package "${DEMO_PAYLOAD_${package}}" --expect-installed ${package} ${kill_points})
    set_tests_properties(e2e.kill.${prefix}.shipped_run_ended_at_any_moment PROPERTIES
        SKIP_RETURN_CODE 77 RESOURCE_LOCK e2e-${prefix} TIMEOUT ${E2E_KILL_TIME_LIMIT})
    add_killed_before_each_change(shipped_run_killed_before_each_change PREFIX ${prefix}
        LAUNCHER launcher_killed_at_call PACKAGE ${package} EARLIER ${earlier})
endforeach()
