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

# The spanned-set reader (fuzz_zip_span.cpp); seeds: corpus_zip_span/.
add_executable(fuzz_zip_span ${CMAKE_CURRENT_LIST_DIR}/fuzz_zip_span.cpp)
target_compile_options(fuzz_zip_span PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_zip_span PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_zip_span PRIVATE corvane_zip_core)

# The self-extracting program's reader (fuzz_sfx_archive.cpp); seeds: corpus_sfx_archive/.
# The reader is built into the target itself: the static program must stay uninstrumented.
add_executable(fuzz_sfx_archive ${CMAKE_CURRENT_LIST_DIR}/fuzz_sfx_archive.cpp ${CMAKE_SOURCE_DIR}/sfx/SfxArchive.cpp)
target_compile_options(fuzz_sfx_archive PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_sfx_archive PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_sfx_archive PRIVATE z)
