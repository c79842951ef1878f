# Dropped data from any program: our ID-list array read for files and allowed effects.
add_executable(fuzz_dragdrop ${CMAKE_CURRENT_LIST_DIR}/fuzz_dragdrop.cpp)
target_compile_options(fuzz_dragdrop PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_dragdrop PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_dragdrop PRIVATE corvane_platform)
