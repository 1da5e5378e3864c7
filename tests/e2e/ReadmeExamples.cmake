# The README's demo commands, run exactly as a new user types them: the demo
# script itself, its arguments handed over untouched. Each must show the
# launcher's command line as typed, the prerequisites run with the switches
# the arguments ask for, and the Windows 10 64-bit package installed. The demo
# configures and builds the preset's own tree, so these exist only there.
if(NOT CMAKE_BINARY_DIR STREQUAL "${CMAKE_SOURCE_DIR}/build/windows-x86")
    return()
endif()

# add_readme_example(<name> SWITCHES <prerequisite switches> ARGUMENTS <demo arguments>...)
function(add_readme_example name)
    cmake_parse_arguments(PARSE_ARGV 1 R "" "SWITCHES;COMMAND_LINE" "ARGUMENTS")
    set(run "\n  vcredist_x86.exe [|] ${R_SWITCHES} [|][^\n]*\n  vcredist_x64.exe [|] ${R_SWITCHES} [|][^\n]*")
    add_test(NAME e2e.readme.${name} COMMAND "${CMAKE_SOURCE_DIR}/scripts/demo.sh" ${R_ARGUMENTS})
    set_tests_properties(e2e.readme.${name} PROPERTIES
        PASS_REGULAR_EXPRESSION
            "command line: \"C:.users.Public.Downloads.InstallerLauncher.exe\" ${R_COMMAND_LINE}\nexit code: 0\nprograms run[^\n]*${run}\npackage installed: MSI_WIN10_64\n"
        FAIL_REGULAR_EXPRESSION "FAIL: "
        SKIP_REGULAR_EXPRESSION "skipped: "
        RESOURCE_LOCK e2e-win10-64
        TIMEOUT 1200)
endfunction()

add_readme_example(demo_quiet ARGUMENTS -quiet
    COMMAND_LINE "-quiet" SWITCHES "/q /norestart")
add_readme_example(demo_msiargs ARGUMENTS -msiargs "\"/i $MSIPATH /qn\""
    COMMAND_LINE "-msiargs \"/i [$]MSIPATH /qn\"" SWITCHES "/passive /norestart")
