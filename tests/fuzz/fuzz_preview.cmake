# Rich text and program files arrive from downloads, archives and mail; the preview reads them
# as soon as they are selected. Seeds: corpus_rtf/ (with rtf.dict) and corpus_pe_version/.
foreach(_target fuzz_rtf fuzz_pe_version)
    add_executable(${_target} ${CMAKE_CURRENT_LIST_DIR}/${_target}.cpp)
    target_compile_options(${_target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${_target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${_target} PRIVATE corvane_preview_core)
endforeach()
# The readers themselves are instrumented and checked for reads out of bounds.
target_compile_options(corvane_preview_core PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
