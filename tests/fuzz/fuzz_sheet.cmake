# Spreadsheets arrive from mail and downloads; the preview reads them as soon as they are
# selected. fuzz_sheet reads .xlsx and .ods (a first byte of 0 or 1; seeds in corpus_sheet/, the
# workbooks' parts stored uncompressed so that mutations reach the XML); fuzz_sheet_xls reads
# .xls files (seeds in corpus_sheet_xls/).
foreach(_target fuzz_sheet fuzz_sheet_xls)
    add_executable(${_target} ${CMAKE_CURRENT_LIST_DIR}/fuzz_sheet.cpp)
    target_compile_options(${_target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${_target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${_target} PRIVATE corvane_preview_core)
endforeach()
target_compile_definitions(fuzz_sheet_xls PRIVATE SHEET_FUZZ_XLS)
