# launcher_package_facts(<target> <payload name> <package file> <code variable> <version variable>)
#
# The ProductCode and ProductVersion of a driver package, which the launcher
# carries to log what it installs and to find the package again for -uninstall
# and -repair. A vendor's package is read with msiinfo from its Property table
# now, and a changed file configures the build again. A demo package does not
# exist yet (wixl builds it later): its values are the ones the build gives
# wixl, which CheckPackage.cmake confirms in the built file.
function(launcher_package_facts target name file codeOut versionOut)
    if(file STREQUAL "${DEMO_PAYLOAD_${name}}" AND DEFINED DEMO_PAYLOAD_${name}_PRODUCT_CODE)
        set(code "${DEMO_PAYLOAD_${name}_PRODUCT_CODE}")
        set(version "${DEMO_PAYLOAD_${name}_PRODUCT_VERSION}")
    else()
        find_program(MSIINFO msiinfo REQUIRED)
        execute_process(COMMAND "${MSIINFO}" export "${file}" Property
            OUTPUT_VARIABLE properties RESULT_VARIABLE exported)
        if(NOT exported EQUAL 0)
            message(FATAL_ERROR "add_launcher_variant(${target}): msiinfo cannot read the Property table of ${name}: '${file}'")
        endif()
        string(REGEX MATCH "(^|\n)ProductCode\t([^\r\n]*)" found "${properties}")
        set(code "${CMAKE_MATCH_2}")
        string(REGEX MATCH "(^|\n)ProductVersion\t([^\r\n]*)" found "${properties}")
        set(version "${CMAKE_MATCH_2}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
    endif()
    launcher_check_guid(${target} "PAYLOADS ${name} ProductCode" "${code}")
    if(NOT version MATCHES "^[0-9]+(\\.[0-9]+)*$")
        message(FATAL_ERROR "add_launcher_variant(${target}): ${name} has no ProductVersion of digits and dots: '${version}'")
    endif()
    set(${codeOut} "${code}" PARENT_SCOPE)
    set(${versionOut} "${version}" PARENT_SCOPE)
endfunction()
