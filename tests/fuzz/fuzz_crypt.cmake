# The decryptor fuzzer (fuzz_decrypt.cpp); the file tools engines get coverage
# instrumentation so the fuzzer can find its way through them. Seeds: corpus_decrypt/.
add_executable(fuzz_decrypt ${CMAKE_CURRENT_LIST_DIR}/fuzz_decrypt.cpp)
target_compile_options(fuzz_decrypt PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_decrypt PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_decrypt PRIVATE corvane_filetools_core)
target_compile_options(corvane_filetools_core PRIVATE -fsanitize=fuzzer-no-link)
