# Spreadsheets arrive from mail and downloads; the preview reads them as soon as they are
# selected. Seeds: corpus_sheet/ (a first byte of 0, 1 or 2 for .xls, .xlsx or .ods; the
# workbooks' parts stored uncompressed so that mutations reach the XML).
add_executable(fuzz_sheet ${CMAKE_CURRENT_LIST_DIR}/fuzz_sheet.cpp)
target_compile_options(fuzz_sheet PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_sheet PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_sheet PRIVATE corvane_preview_core)
