# The run-text fuzzer (fuzz_run_text.cpp): run texts, parameters, typed paths and addresses
# as the run box, the user tools, Go To Folder and Map Network Drive read them.
# Seeds: corpus_run_text/. The platform library is instrumented by fuzz_settings.cmake.
add_executable(fuzz_run_text ${CMAKE_CURRENT_LIST_DIR}/fuzz_run_text.cpp)
target_compile_options(fuzz_run_text PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_run_text PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_run_text PRIVATE corvane_platform)
