# ID lists, locator streams and mount tables from untrusted bytes (clipboard, drags, stored settings).
add_executable(fuzz_idlist ${CMAKE_CURRENT_LIST_DIR}/fuzz_idlist.cpp)
target_compile_options(fuzz_idlist PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_idlist PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_idlist PRIVATE corvane_shellctl)
target_compile_options(corvane_shellctl PRIVATE -fsanitize=fuzzer-no-link)
