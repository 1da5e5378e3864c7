# Release builds of the shipped launcher in folders of their own, each
# embedding this tree's payload files: two fresh builds compare equal, then the
# second is signed with a throw-away certificate, verified, checked as an
# executable and run like the shipped build, and the first is built again as
# the README's vendor configure line says.
set(RELEASE_BUILD /usr/bin/python3 "${CMAKE_CURRENT_SOURCE_DIR}/release_build.py")
set(release_work "${CMAKE_BINARY_DIR}/release-builds")
set(signed_launcher "${release_work}/signed/InstallerLauncher.exe")
set(release_options --source "${CMAKE_SOURCE_DIR}" --work "${release_work}"
    --toolchain "${CMAKE_TOOLCHAIN_FILE}" --generator "${CMAKE_GENERATOR}")
set(payloads ${LAUNCHER_PRODUCT_PAYLOADS})
while(payloads)
    list(POP_FRONT payloads name type file)
    list(APPEND release_options --define "LAUNCHER_PAYLOAD_${name}=${file}")
endwhile()

add_test(NAME e2e.release.reproducible COMMAND ${RELEASE_BUILD} reproducible ${release_options})
add_test(NAME e2e.release.signed COMMAND ${RELEASE_BUILD} signed ${release_options} --output "${signed_launcher}")
add_test(NAME e2e.release.vendor COMMAND ${RELEASE_BUILD} vendor ${release_options})
add_test(NAME e2e.executable.signed COMMAND ${CHECK_EXECUTABLE} "${signed_launcher}" --payloads ${PRODUCT_CATALOGUE})
scenario_prefix_options(prefixOptions win10-64)
add_test(NAME e2e.scenario.signed_launcher
    COMMAND ${SCENARIO} ${prefixOptions}
            --launcher "${signed_launcher}" --probe $<TARGET_FILE:launch_probe>
            --arguments=-quiet --expect-exit 0 --expect-installed MSI_WIN10_64)
set_tests_properties(e2e.release.reproducible PROPERTIES FIXTURES_SETUP release_builds TIMEOUT 1800)
set_tests_properties(e2e.release.signed PROPERTIES
    FIXTURES_REQUIRED release_builds FIXTURES_SETUP signed_launcher TIMEOUT 600)
set_tests_properties(e2e.release.vendor PROPERTIES FIXTURES_REQUIRED release_builds TIMEOUT 600)
set_tests_properties(e2e.executable.signed PROPERTIES FIXTURES_REQUIRED signed_launcher)
set_tests_properties(e2e.scenario.signed_launcher PROPERTIES
    FIXTURES_REQUIRED signed_launcher SKIP_RETURN_CODE 77 RESOURCE_LOCK e2e-win10-64 TIMEOUT ${E2E_SCENARIO_TIME_LIMIT})
