# Clipboard bytes come from any program: the ID-list array, uri-list and copied-files readers.
# Seeds: corpus_clipboard/.
add_executable(fuzz_clipboard ${CMAKE_CURRENT_LIST_DIR}/fuzz_clipboard.cpp)
target_compile_options(fuzz_clipboard PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_clipboard PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_clipboard PRIVATE corvane_platform)
target_compile_options(corvane_platform PRIVATE -fsanitize=fuzzer-no-link)
