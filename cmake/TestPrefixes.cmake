# The Windows the tests run on, each a Wine prefix:
#   name|WINEARCH|winecfg version|64-bit Windows|Windows 10
set(_test_prefix_table
    "win7-32|win32|win7|0|0"
    "win81-64|win64|win81|1|0"
    "win10-64|win64|win10|1|1")

set(TEST_PREFIX_NAMES "")
foreach(row IN LISTS _test_prefix_table)
    string(REPLACE "|" ";" entry "${row}")
    list(GET entry 0 name)
    list(APPEND TEST_PREFIX_NAMES ${name})
endforeach()

# test_prefix(<name> <out>) sets <out>_ARCH, <out>_VERSION, <out>_64_BIT and
# <out>_WINDOWS_10 (1 or 0) to the prefix's row.
function(test_prefix name out)
    foreach(row IN LISTS _test_prefix_table)
        string(REPLACE "|" ";" entry "${row}")
        list(GET entry 0 rowName)
        if(rowName STREQUAL name)
            list(GET entry 1 arch)
            list(GET entry 2 version)
            list(GET entry 3 is64)
            list(GET entry 4 isWindows10)
            set(${out}_ARCH ${arch} PARENT_SCOPE)
            set(${out}_VERSION ${version} PARENT_SCOPE)
            set(${out}_64_BIT ${is64} PARENT_SCOPE)
            set(${out}_WINDOWS_10 ${isWindows10} PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "test_prefix: no test prefix is named '${name}'")
endfunction()
