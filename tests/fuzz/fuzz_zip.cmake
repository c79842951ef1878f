# The zip central-directory reader (fuzz_zip_directory.cpp); seeds: corpus_zip_directory/.
add_executable(fuzz_zip_directory ${CMAKE_CURRENT_LIST_DIR}/fuzz_zip_directory.cpp)
target_compile_options(fuzz_zip_directory PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_zip_directory PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_zip_directory PRIVATE corvane_zip_core)
target_compile_options(corvane_zip_core PRIVATE -fsanitize=fuzzer-no-link)

# The extraction's inflating ahead (fuzz_zip_inflate_ahead.cpp); seeds: corpus_zip_directory/.
find_package(ZLIB REQUIRED)
add_executable(fuzz_zip_inflate_ahead ${CMAKE_CURRENT_LIST_DIR}/fuzz_zip_inflate_ahead.cpp)
target_compile_options(fuzz_zip_inflate_ahead PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_zip_inflate_ahead PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_zip_inflate_ahead PRIVATE corvane_zip_core ZLIB::ZLIB)
