# The same sources and payload files give the same executable bytes, in
# whatever folder the build runs: the linker writes no link time into the PE
# header, and nothing compiled keeps the source or build folder (in __FILE__,
# for one). The resource compiler takes no such options.
foreach(folder IN ITEMS "${CMAKE_SOURCE_DIR}" "${CMAKE_BINARY_DIR}")
    # The last mapping given is tried first: the build folder may lie inside
    # the source folder.
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${folder}/=>")
endforeach()
add_link_options(-Wl,--no-insert-timestamp)
