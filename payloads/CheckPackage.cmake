# cmake -DMSIINFO=<msiinfo> -DPACKAGE=<msi> -DPRODUCT_CODE=<guid> -DPRODUCT_VERSION=<version>
#       -DPLATFORM=<Intel|x64> -P CheckPackage.cmake
#
# Fails, and removes the package so that the next build makes it again, when a
# freshly built package does not carry the product code and version the tests
# and the launcher's tables know it by, or was built for the other platform.
function(fail message)
    file(REMOVE "${PACKAGE}")
    message(FATAL_ERROR "${PACKAGE}: ${message}")
endfunction()

execute_process(COMMAND "${MSIINFO}" export "${PACKAGE}" Property
    OUTPUT_VARIABLE properties RESULT_VARIABLE exported)
if(NOT exported EQUAL 0)
    fail("msiinfo cannot read its Property table")
endif()
if(NOT properties MATCHES "\nProductCode\t([^\r\n]*)")
    fail("the package has no ProductCode")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PRODUCT_CODE)
    fail("ProductCode is ${CMAKE_MATCH_1}, not ${PRODUCT_CODE}")
endif()
if(NOT properties MATCHES "\nProductVersion\t${PRODUCT_VERSION}\r?\n")
    fail("the package's ProductVersion is not ${PRODUCT_VERSION}")
endif()

execute_process(COMMAND "${MSIINFO}" suminfo "${PACKAGE}"
    OUTPUT_VARIABLE summary RESULT_VARIABLE summarised)
if(NOT summarised EQUAL 0 OR NOT summary MATCHES "\nTemplate: ([^;\r\n]*);")
    fail("msiinfo cannot read its platform")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PLATFORM)
    fail("the package is for ${CMAKE_MATCH_1}, not ${PLATFORM}")
endif()
