# Desktop entries (.desktop link and launcher files) from anywhere: downloads, archives, other
# users' desktops. Seeds: corpus_desktop_entry/. The platform library is instrumented by
# fuzz_fileops.cmake.
add_executable(fuzz_desktop_entry ${CMAKE_CURRENT_LIST_DIR}/fuzz_desktop_entry.cpp)
target_compile_options(fuzz_desktop_entry PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_desktop_entry PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_desktop_entry PRIVATE corvane_platform)
