# add_stand_in_package(<label> ARCH <x86|x64> PRODUCT_CODE <guid> UPGRADE_CODE <guid>
#     PRODUCT_NAME <text> VERSION <version> MARKER <file name> REGISTRY_VALUE <value name>)
#
# Builds <label>.msi from StandInPackage.wxs with wixl: a per-machine package
# that installs the marker file <file name>, whose text is <label>, into
# Program Files\<vendor folder>\<product folder> and sets <value name> to
# <label> in the key that holds the drivers key (ProductIdentity.cmake), both
# in the file-system and registry view of ARCH. The build fails when the
# package does not carry the given product code, version or platform.
# Sets <label>_PACKAGE to the package's path.
find_program(WIXL wixl REQUIRED)
find_program(MSIINFO msiinfo REQUIRED)
set(STAND_IN_PACKAGE_SOURCE "${CMAKE_CURRENT_LIST_DIR}/StandInPackage.wxs")
set(STAND_IN_PACKAGE_CHECK "${CMAKE_CURRENT_LIST_DIR}/CheckPackage.cmake")
# The stand-ins install where the shipped product's driver package would.
string(REGEX REPLACE "\\\\[^\\]*$" "" STAND_IN_REGISTRY_KEY "${DRIVERS_KEY_PATH}")

# A component GUID of its own for each package and component, fixed so that a
# rebuilt package keeps the identity Windows Installer counts references by.
function(_stand_in_component_guid out productCode component)
    string(REGEX REPLACE "[{}]" "" namespace "${productCode}")
    string(UUID guid NAMESPACE "${namespace}" NAME "${component}" TYPE SHA1 UPPER)
    set(${out} "{${guid}}" PARENT_SCOPE)
endfunction()

function(add_stand_in_package label)
    cmake_parse_arguments(PARSE_ARGV 1 P "" "ARCH;PRODUCT_CODE;UPGRADE_CODE;PRODUCT_NAME;VERSION;MARKER;REGISTRY_VALUE" "")
    if(P_ARCH STREQUAL "x64")
        set(programFiles ProgramFiles64Folder)
        set(win64 yes)
        set(platform x64)
    elseif(P_ARCH STREQUAL "x86")
        set(programFiles ProgramFilesFolder)
        set(win64 no)
        set(platform Intel)
    else()
        message(FATAL_ERROR "add_stand_in_package(${label}): ARCH is '${P_ARCH}', not x86 or x64")
    endif()

    set(package "${CMAKE_CURRENT_BINARY_DIR}/${label}.msi")
    # wixl takes file sources relative to the folder it runs in.
    set(markerFolder "${CMAKE_CURRENT_BINARY_DIR}/${label}")
    set(marker "${markerFolder}/${P_MARKER}")
    file(CONFIGURE OUTPUT "${marker}" CONTENT "${label}\n")
    _stand_in_component_guid(markerComponent "${P_PRODUCT_CODE}" Marker)
    _stand_in_component_guid(registrationComponent "${P_PRODUCT_CODE}" Registration)

    set(defines "")
    foreach(definition IN ITEMS
            "ProductCode=${P_PRODUCT_CODE}"
            "UpgradeCode=${P_UPGRADE_CODE}"
            "ProductName=${P_PRODUCT_NAME}"
            "Version=${P_VERSION}"
            "ProgramFilesFolder=${programFiles}"
            "Win64=${win64}"
            "MarkerComponent=${markerComponent}"
            "MarkerName=${P_MARKER}"
            "RegistrationComponent=${registrationComponent}"
            "VendorFolder=${VENDOR_FOLDER_NAME}"
            "ProductFolder=${PRODUCT_FOLDER_NAME}"
            "RegistryKey=${STAND_IN_REGISTRY_KEY}"
            "RegistryValueName=${P_REGISTRY_VALUE}"
            "Label=${label}")
        list(APPEND defines -D "${definition}")
    endforeach()

    add_custom_command(OUTPUT "${package}"
        COMMAND "${WIXL}" -a ${P_ARCH} -o "${package}" ${defines} "${STAND_IN_PACKAGE_SOURCE}"
        COMMAND "${CMAKE_COMMAND}" "-DMSIINFO=${MSIINFO}" "-DPACKAGE=${package}"
            "-DPRODUCT_CODE=${P_PRODUCT_CODE}" "-DPRODUCT_VERSION=${P_VERSION}" "-DPLATFORM=${platform}" -P "${STAND_IN_PACKAGE_CHECK}"
        DEPENDS "${STAND_IN_PACKAGE_SOURCE}" "${STAND_IN_PACKAGE_CHECK}" "${marker}"
        WORKING_DIRECTORY "${markerFolder}"
        COMMENT "Building the stand-in package ${label}.msi"
        VERBATIM)
    set(${label}_PACKAGE "${package}" PARENT_SCOPE)
endfunction()
