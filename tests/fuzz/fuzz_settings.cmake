# The settings decoder fuzzer; the settings and registry libraries get coverage
# instrumentation so the fuzzer can find its way through them.
add_executable(fuzz_setting_decode ${CMAKE_CURRENT_LIST_DIR}/fuzz_setting_decode.cpp)
target_compile_options(fuzz_setting_decode PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_setting_decode PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_setting_decode PRIVATE corvane_settings)
target_compile_options(corvane_settings PRIVATE -fsanitize=fuzzer-no-link)
target_compile_options(corvane_platform PRIVATE -fsanitize=fuzzer-no-link)
