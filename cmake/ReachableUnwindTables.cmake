# link_with_reachable_unwind_tables(<target>...)
#
# Links each target so that its unwind tables hold only the code it links
# (link_with_reachable_unwind_tables.py says how). The launcher links this way
# to stay small; the windows-tier tests link this way too, so that the
# exceptions they throw and catch through the launcher's code check that every
# function such a link keeps can still be unwound.
set(REACHABLE_UNWIND_LINK "${CMAKE_CURRENT_LIST_DIR}/link_with_reachable_unwind_tables.py" CACHE INTERNAL "")

function(link_with_reachable_unwind_tables)
    # Only 32-bit programs unwind through these tables; 64-bit ones have
    # tables of another kind (.pdata, .xdata).
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
        return()
    endif()
    foreach(target IN LISTS ARGN)
        set_property(TARGET ${target} PROPERTY RULE_LAUNCH_LINK "/usr/bin/python3 ${REACHABLE_UNWIND_LINK}")
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${REACHABLE_UNWIND_LINK}")
    endforeach()
endfunction()
