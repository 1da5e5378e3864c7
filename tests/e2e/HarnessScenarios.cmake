# A 64-bit build of the launcher, run natively on machines that cannot execute
# 32-bit code: it checks the scenario harness, the stand-ins and the packages
# under Wine's Windows Installer. As a 64-bit process it is not under WOW64, so
# it takes any Windows for 32-bit and installs the 32-bit packages.
file(READ "${LAUNCHER_RESOURCES_DIR}/InstallerLauncher.manifest" manifest)
string(REPLACE "processorArchitecture=\"x86\"" "processorArchitecture=\"amd64\"" manifest "${manifest}")
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/Harness.manifest" "${manifest}")
add_launcher_variant(harness_launcher
    PAYLOADS ${LAUNCHER_PRODUCT_PAYLOADS}
    MANIFEST "${CMAKE_CURRENT_BINARY_DIR}/Harness.manifest")

add_scenario(harness_typical PREFIX win10-64 LAUNCHER harness_launcher
    --expect-exit 0 "--expect-run=vcredist_x86.exe|/passive /norestart" --expect-installed MSI_WIN10_32
    --expect-package-file)
add_scenario(harness_quiet PREFIX win10-64 LAUNCHER harness_launcher --arguments=-quiet
    --expect-exit 0 "--expect-run=vcredist_x86.exe|/q /norestart" --expect-installed MSI_WIN10_32)
add_scenario(harness_prerequisite_fails PREFIX win81-64 LAUNCHER harness_launcher
    --exit-code=vcredist_x86.exe=1603 --expect-exit 1603 "--expect-run=vcredist_x86.exe|/passive /norestart"
    --expect-installed=)
