# Scenarios on Windows 10 64-bit that both launcher builds run, set up by the
# including file:
#   E2E_NAME               prefix of scenario and variant names
#   E2E_LAUNCHER           the launcher target
#   E2E_VARIANT_OPTIONS    extra add_launcher_variant arguments
#   E2E_PACKAGE            the package the launcher installs there
#   E2E_PREREQUISITES      the prerequisites it runs there, as "FILE|" prefixes
function(expect_prerequisites out switches)
    set(runs "")
    foreach(file IN LISTS E2E_PREREQUISITES)
        list(APPEND runs "--expect-run=${file}|${switches}")
    endforeach()
    set(${out} ${runs} PARENT_SCOPE)
endfunction()
expect_prerequisites(passive_prerequisites "/passive /norestart")
expect_prerequisites(quiet_prerequisites "/q /norestart")
set(installs --expect-exit 0 --expect-installed ${E2E_PACKAGE})

add_launcher_variant(${E2E_NAME}ending_processes PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS} ${E2E_VARIANT_OPTIONS}
    PROCESS_NAMES TavrinTray.exe TavrinSettings.exe)
set(earlier_codes ${DEMO_EARLIER_PRODUCT_A_CODE} ${DEMO_EARLIER_PRODUCT_B_CODE} ${DEMO_EARLIER_PRODUCT_C_CODE})
add_launcher_variant(${E2E_NAME}removing_earlier_products PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS} ${E2E_VARIANT_OPTIONS}
    PRODUCT_CODES_32 ${earlier_codes} PRODUCT_CODES_64 ${earlier_codes})
set(legacy_prompt_text "An earlier TAVRIN driver will be removed before this one is installed. Continue?")
set(legacy_prompt_caption "TAVRIN Driver Installer")
add_launcher_variant(${E2E_NAME}with_legacy_uninstallers ${E2E_VARIANT_OPTIONS}
    PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS}
        UNINST EXE "${DEMO_PAYLOAD_STAND_IN_PROGRAM}"
        UNINST2 EXE "${DEMO_PAYLOAD_STAND_IN_PROGRAM}"
    PROMPT_TEXT "${legacy_prompt_text}"
    PROMPT_CAPTION "${legacy_prompt_caption}")

add_scenario(${E2E_NAME}typical PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    ${passive_prerequisites} ${installs} --expect-package-file)
add_scenario(${E2E_NAME}quiet PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER} --arguments=-quiet
    ${quiet_prerequisites} ${installs} --expect-log
    "--expect-log-line= I ${PRODUCT_DISPLAY_NAME} ${PRODUCT_VERSION} at C:"
    "--expect-log-line= I device-monitor service ${DEVICE_MONITOR_SERVICE_NAME} is not installed"
    "--expect-log-line=I driver package ${E2E_PACKAGE}: product code ${DEMO_PAYLOAD_${E2E_PACKAGE}_PRODUCT_CODE}, version 1.0.5$")
# A log the administrator names in a folder that does not exist: nothing is
# staged or run, and the code says why.
add_scenario(${E2E_NAME}log_in_a_missing_folder PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    "--arguments=-quiet -log \"C:\\no such folder\\audio.log\"" --expect-no-runs --expect-exit 1622
    "--expect-stdout=CreateFile failed \\([23]\\)" --expect-installed=)
# An unquoted path runs to the next blank: the log is where it names, and
# Windows Installer's log is in the protected Logs folder, not beside it.
add_scenario(${E2E_NAME}log_named_unquoted PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    "--arguments=-log C:\\logs\\drv.log -quiet" --make-folder logs
    ${quiet_prerequisites} ${installs} "--expect-named-log=C:\\logs\\drv.log")
# A folder link on the way to the named log, to someone else's folder: refused
# by final path before anything is made or cut there.
add_scenario(${E2E_NAME}log_through_a_folder_link PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    "--arguments=-quiet -log C:\\logs-link\\victim.txt" --plant-link logs-link --expect-no-runs
    --expect-exit 1622 "--expect-stdout=OpenLog failed \\(4395\\)" --expect-installed=)
# What a deployment system runs.
add_scenario(${E2E_NAME}quiet_without_restart PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER} "--arguments=-quiet -norestart"
    ${quiet_prerequisites} ${installs})
# The help on a machine without a desktop, where the message box returns at
# once: nothing staged, run or installed, and success all the same.
add_scenario(${E2E_NAME}help PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER} "--arguments=/?"
    --expect-no-runs --expect-exit 0 --expect-installed=
    "--expect-absent=${PACKAGE_FOLDER}/${PACKAGE_FILE_NAME}")
# The administrators' verbs. -uninstall removes the installed driver package
# through Windows Installer, by the product code the build read, and nothing
# else: no program runs, the package file stays. Words the command line
# ignores are named.
set(package_code "${DEMO_PAYLOAD_${E2E_PACKAGE}_PRODUCT_CODE}")
add_scenario(${E2E_NAME}uninstall_removes_the_driver_package_alone PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --run-first --first-arguments=-quiet "--arguments=-quiet -norestart -uninstall /s stray" --expect-no-runs
    --expect-exit 0 --expect-installed= --expect-package-file "--expect-stdout=Ignored on the command line: /s stray"
    "--expect-log-line=W Ignored on the command line: /s stray"
    "--expect-log-line=msiexec.exe. /x ${package_code} /quiet /norestart /l[*]v .*-uninstall[.]log")
add_scenario(${E2E_NAME}uninstall_with_no_driver_package_installed PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    "--arguments=-quiet -uninstall" --expect-no-runs --expect-exit 0 --expect-installed=
    "--expect-stdout=No driver package of this build is installed")
# -repair mends a damaged installation from Windows Installer's own copy.
add_scenario(${E2E_NAME}repair_restores_the_driver_package PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --run-first --first-arguments=-quiet --remove-markers "--arguments=-quiet -repair" --expect-no-runs ${installs}
    "--expect-log-line=msiexec.exe. /i ${package_code} REINSTALL=ALL REINSTALLMODE=omus /quiet /l[*]v .*-repair[.]log")
add_scenario(${E2E_NAME}repair_with_no_driver_package_installed PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    "--arguments=-quiet -repair" --expect-no-runs --expect-exit 1605 --expect-installed=
    "--expect-stdout=No driver package of this build is installed")
# -extract writes every package into a folder it makes, and nothing through a
# link: the victim's vcredist files keep their bytes.
set(extracted "")
foreach(file IN ITEMS vcredist_x86.exe vcredist_x64.exe MSI32.msi MSI64.msi MSI_WIN10_32.msi)
    list(APPEND extracted "--expect-present=extracted/${file}")
endforeach()
add_scenario(${E2E_NAME}extract_writes_every_package_into_a_new_folder PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    "--arguments=-quiet -extract \"C:\\extracted\"" --expect-no-runs --expect-exit 0 --expect-installed=
    ${extracted} "--expect-copy=extracted/MSI_WIN10_64.msi=${DEMO_PAYLOAD_MSI_WIN10_64}"
    "--expect-absent=${PACKAGE_FOLDER}/${PACKAGE_FILE_NAME}")
add_scenario(${E2E_NAME}extract_refuses_a_folder_link PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    "--arguments=-quiet -extract C:\\extracted-link" --plant-link extracted-link --expect-no-runs
    --expect-exit 4395 "--expect-stdout=SecureFolder failed \\(4395\\)" --expect-installed=)
add_scenario(${E2E_NAME}two_verbs_do_nothing PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    "--arguments=-uninstall -repair" --expect-no-runs --expect-exit 87 --expect-installed=
    "--expect-stdout=Command line refused: one verb at a time, -extract with its folder")
add_scenario(${E2E_NAME}prerequisite_fails PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --exit-code=vcredist_x86.exe=1603 --expect-exit 1603 "--expect-run=vcredist_x86.exe|/passive /norestart"
    --expect-installed=)
add_scenario(${E2E_NAME}prerequisite_wants_restart PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --exit-code=vcredist_x86.exe=3010 ${passive_prerequisites} --expect-exit 3010 --expect-installed ${E2E_PACKAGE}
    --expect-log)

# On 64-bit Windows only the 64-bit view counts: B (x64) goes, A (x86) stays.
add_scenario(${E2E_NAME}removes_earlier_products_in_the_64_bit_view PREFIX win10-64
    LAUNCHER ${E2E_NAME}removing_earlier_products
    --preinstall ${DEMO_EARLIER_PRODUCT_A} --preinstall ${DEMO_EARLIER_PRODUCT_B}
    "--expect-present=Program Files (x86)/${STAND_IN_FOLDER}/EarlierProductA.txt"
    "--expect-absent=Program Files/${STAND_IN_FOLDER}/EarlierProductB.txt" ${installs})
# An Uninstall entry that Windows Installer does not know: the uninstall runs,
# fails, and the install goes on.
set(unknown_code "{0D1E2F30-4152-4637-8899-AABBCCDDEEFF}")
add_launcher_variant(${E2E_NAME}removing_an_unknown_product PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS} ${E2E_VARIANT_OPTIONS}
    PRODUCT_CODES_32 ${unknown_code} PRODUCT_CODES_64 ${unknown_code})
add_scenario(${E2E_NAME}goes_on_after_an_unknown_product PREFIX win10-64 LAUNCHER ${E2E_NAME}removing_an_unknown_product
    "--registry-key=HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${unknown_code}" ${installs})
add_scenario(${E2E_NAME}ends_listed_processes PREFIX win10-64 LAUNCHER ${E2E_NAME}ending_processes
    ${WITH_WAITING_PROGRAM} --start-process TavrinTray.exe --start-process TavrinTray.exe
    --start-process tavrintray.exe --start-process TavrinHelper.exe
    --expect-ended TavrinTray.exe --expect-running tavrintray.exe --expect-running TavrinHelper.exe ${installs})
add_scenario(${E2E_NAME}notifies_running_service PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    ${WITH_SERVICE} --service-running --expect-service-controls 128 ${installs})
add_scenario(${E2E_NAME}leaves_stopped_service_alone PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    ${WITH_SERVICE} --expect-service-controls= ${installs})

# The prompt of a build that carries legacy uninstallers, on a virtual display.
add_scenario(${E2E_NAME}prompt_answered_yes PREFIX win10-64 LAUNCHER ${E2E_NAME}with_legacy_uninstallers
    --answer-prompt y --screenshot "${CMAKE_CURRENT_BINARY_DIR}/artifacts/${E2E_NAME}prompt.png"
    ${passive_prerequisites} "--expect-run=vq_isu.exe|" "--expect-run=vq_isu2.exe|" ${installs})
# A legacy uninstaller that asks for a restart still stops the run, and the
# exit code must not tell a deployment tool that the driver is installed.
add_scenario(${E2E_NAME}legacy_uninstaller_wants_restart PREFIX win10-64 LAUNCHER ${E2E_NAME}with_legacy_uninstallers
    --answer-prompt y --exit-code=vq_isu2.exe=3010 ${passive_prerequisites} "--expect-run=vq_isu.exe|"
    "--expect-run=vq_isu2.exe|" --expect-exit 1603 --expect-installed=)
add_scenario(${E2E_NAME}prompt_answered_no PREFIX win10-64 LAUNCHER ${E2E_NAME}with_legacy_uninstallers
    --answer-prompt n --expect-no-runs --expect-exit 1602 --expect-installed=)

# The backup holds the whole settings tree while the package installs.
add_scenario(${E2E_NAME}backs_up_driver_settings PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --driver-settings "${DRIVER_SETTINGS}" ${WITH_OBSERVER} ${installs})

# A second run while the first holds the run lock: it waits and then
# installs, or, with a two-second bound, ends with 1618 having staged, run and
# backed up nothing, the first run's settings backup untouched, and its log in
# a folder of its own.
add_launcher_variant(${E2E_NAME}waiting_two_seconds PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS} ${E2E_VARIANT_OPTIONS}
    MSI_BUSY_WAIT_SECONDS 2)
add_scenario(${E2E_NAME}second_run_gives_up_while_the_first_holds_the_lock PREFIX win10-64
    LAUNCHER ${E2E_NAME}waiting_two_seconds ${WITH_LOCK_HOLDER} --hold-lock 120 --arguments=-quiet
    --expect-no-runs --expect-exit 1618 --expect-installed= --expect-first-runs-backup
    "--expect-stdout=Another run of the launcher is still in progress: giving up"
    "--expect-stdout=Log written to .*InstallerLauncher-Logs-.*: another run holds the run lock"
    "--expect-absent=${PACKAGE_FOLDER}/${PACKAGE_FILE_NAME}")
add_scenario(${E2E_NAME}second_run_waits_for_the_first PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    ${WITH_LOCK_HOLDER} --hold-lock 8 --arguments=-quiet ${quiet_prerequisites} ${installs}
    "--expect-stdout=Another run of the launcher is in progress: waiting"
    "--expect-stdout=Another run of the launcher has ended: going on")

# What a standard user can leave on the machine changes nothing the elevated
# run writes, runs or deletes: links where the package folder's levels go, a
# package file that is a second name of another file, a link swapped in for
# the staging folder during the install, a registry link as the settings
# backup key, and associations of their own.
foreach(level IN ITEMS "ProgramData/${VENDOR_FOLDER_NAME}" "${PACKAGE_FOLDER}")
    string(REGEX REPLACE "[^A-Za-z]+" "_" name "${level}")
    add_scenario(${E2E_NAME}refuses_a_link_as_${name} PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
        --plant-link ${level} --expect-exit 4395 "--expect-stdout=SecureFolder failed \\(4395\\)" --expect-installed=)
endforeach()
add_scenario(${E2E_NAME}replaces_a_package_file_that_is_a_second_name PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --hard-link-package ${installs} --expect-package-file)
add_scenario(${E2E_NAME}cleanup_does_not_follow_a_link_swapped_in_for_the_staging_folder PREFIX win10-64
    LAUNCHER ${E2E_LAUNCHER} --swap-staging ${installs})
add_scenario(${E2E_NAME}deletes_a_registry_link_planted_as_the_settings_backup_key PREFIX win10-64
    LAUNCHER ${E2E_LAUNCHER} ${WITH_REGISTRY_LINK} ${installs})
add_scenario(${E2E_NAME}never_runs_the_associations_for_packages_and_programs PREFIX win10-64
    LAUNCHER ${E2E_LAUNCHER} ${WITH_RECORDER} ${passive_prerequisites} ${installs})

# A product folder a standard user made before the first install, writable by
# everyone and holding a package of theirs: it is moved aside untouched and
# never used, whether or not they turn it into a link once the run has begun.
add_scenario(${E2E_NAME}moves_aside_a_product_folder_a_user_made PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --user-product-folder ${DEMO_PAYLOAD_MSI32} ${installs} --expect-package-file)
add_scenario(${E2E_NAME}never_installs_from_a_user_folder_turned_into_a_link PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --user-product-folder ${DEMO_PAYLOAD_MSI32} --link-user-folder ${installs} --expect-package-file)
# Another product of the vendor keeps its folder in the vendor's. A vendor's
# folder users may only read is shared as it is, and the run installs beside
# that product; one users may change is neither used nor moved aside: the run
# ends with 145 before anything is staged, the other product's files where
# they were.
add_scenario(${E2E_NAME}installs_beside_another_product_of_the_vendor PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --other-product-folder 755 ${installs} --expect-package-file)
add_scenario(${E2E_NAME}leaves_a_shared_vendor_folder_others_may_change_alone PREFIX win10-64
    LAUNCHER ${E2E_LAUNCHER} --other-product-folder 777 --expect-exit 145 --expect-no-runs --expect-installed=
    "--expect-stdout=SecureFolder failed \\(145\\)"
    --expect-absent "ProgramData/${VENDOR_FOLDER_NAME}/${INSTALLERS_FOLDER_NAME}")
# TMP and TEMP are the user's to set: a link of theirs, re-pointed while the
# first prerequisite runs and again during the cleanup, is never used.
add_scenario(${E2E_NAME}ignores_a_users_temporary_folder_link PREFIX win10-64 LAUNCHER ${E2E_LAUNCHER}
    --user-temp-link ${passive_prerequisites} ${installs})

# Prerequisites detected by their product codes: stand-ins that register a
# product with Windows Installer when they run, in place of the plain ones.
# The first run runs them; a second run in the same prefix starts none and
# still installs the driver; a machine that has only the 32-bit one runs the
# rest.
set(packages_only ${LAUNCHER_PRODUCT_PAYLOADS})
list(SUBLIST packages_only 6 -1 packages_only)
add_launcher_variant(${E2E_NAME}detecting_prerequisites ${E2E_VARIANT_OPTIONS}
    PAYLOADS VC2005_REDIST_32 EXE "${DEMO_PAYLOAD_STAND_IN_RUNTIME_X86}"
        VC2005_REDIST_64 EXE "${DEMO_PAYLOAD_STAND_IN_RUNTIME_X64}" ${packages_only}
    PREREQUISITE_DETECT_VC2005_REDIST_32 "{0F0E0D0C-0B0A-0908-0706-050403020100}" ${DEMO_RUNTIME_X86_CODE}
    PREREQUISITE_DETECT_VC2005_REDIST_64 ${DEMO_RUNTIME_X64_CODE})
add_scenario(${E2E_NAME}runs_prerequisites_not_yet_installed PREFIX win10-64
    LAUNCHER ${E2E_NAME}detecting_prerequisites ${passive_prerequisites} ${installs}
    "--expect-present=Program Files (x86)/${STAND_IN_FOLDER}/Runtime32.txt")
add_scenario(${E2E_NAME}skips_installed_prerequisites_on_a_second_run PREFIX win10-64
    LAUNCHER ${E2E_NAME}detecting_prerequisites --run-first --expect-no-runs ${installs}
    "--expect-stdout=Prerequisite VC2005_REDIST_32 is installed \\(${DEMO_RUNTIME_X86_CODE}\\): not run")
list(FIND E2E_PREREQUISITES vcredist_x64.exe runs_x64)
if(runs_x64 EQUAL -1)
    set(the_rest --expect-no-runs)
else()
    set(the_rest "--expect-run=vcredist_x64.exe|/passive /norestart")
endif()
add_scenario(${E2E_NAME}runs_the_prerequisite_not_installed PREFIX win10-64
    LAUNCHER ${E2E_NAME}detecting_prerequisites --preinstall ${DEMO_RUNTIME_X86} ${the_rest} ${installs})
# Any user can install a package for themselves under a runtime's product
# code; only the machine's installation keeps the elevated run from the
# runtime.
add_scenario(${E2E_NAME}runs_a_prerequisite_a_user_installed_for_themselves PREFIX win10-64
    LAUNCHER ${E2E_NAME}detecting_prerequisites --preinstall-per-user ${DEMO_RUNTIME_X86}
    --preinstall-per-user ${DEMO_RUNTIME_X64} ${passive_prerequisites} ${installs})
