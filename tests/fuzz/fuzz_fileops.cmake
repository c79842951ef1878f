# .trashinfo files from any volume's trash, written by anyone who can write there.
add_executable(fuzz_trashinfo ${CMAKE_CURRENT_LIST_DIR}/fuzz_trashinfo.cpp)
target_compile_options(fuzz_trashinfo PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_trashinfo PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_trashinfo PRIVATE corvane_platform)
target_compile_options(corvane_platform PRIVATE -fsanitize=fuzzer-no-link)
