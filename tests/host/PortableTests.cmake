# The tests of the portable code, which the host tier builds natively and the
# windows tier builds as Windows programs, so that what differs there (32-bit
# size_t and pointers, a 32-bit long, 16-bit wchar_t) is tested too.
set(PORTABLE_TEST_SOURCES
    "${CMAKE_CURRENT_LIST_DIR}/BufferAllocationTest.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/CommandLineOptionsTest.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/SupportLogTextTest.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/InstallDecisionsTest.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/ProgramArgumentsTest.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/VariantTest.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/ValueBlobTest.cpp")
