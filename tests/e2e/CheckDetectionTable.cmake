# cmake -DREADME=<README.md> -DMSI32=<package> -DMSI64=<package> -DMSI_WIN10_32=<package>
#       -DMSI_WIN10_64=<package> -P CheckDetectionTable.cmake
# Reads each driver package's product code and version as a vendor's build
# reads them (PackageFacts.cmake), and stops unless the README's detection
# table gives the same; prints "matches" when it does.
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/LauncherValues.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/PackageFacts.cmake")
file(READ "${README}" readme)
foreach(name IN ITEMS MSI32 MSI64 MSI_WIN10_32 MSI_WIN10_64)
    launcher_package_facts(README ${name} "${${name}}" code version)
    if(NOT readme MATCHES "\n\\| `${name}` \\| [^|\n]+ \\| `${code}` \\| `${version}` \\|\n")
        message(FATAL_ERROR "README.md: the detection table's row of ${name} lacks `${code}` | `${version}`")
    endif()
endforeach()
message("matches")
