# Checks one launcher build value as the configure step does:
#   cmake -DVARIABLE=<add_launcher_variant keyword> -DVALUE=<value> -P CheckBuildValue.cmake
# prints "accepted", or stops with the check's message.
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/LauncherValues.cmake")
launcher_check_value(probe "${VARIABLE}" "${VALUE}")
message("accepted")
