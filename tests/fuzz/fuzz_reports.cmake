# The system information sheet's readers of os-release, passwd, cpuinfo, meminfo and the CUPS
# files (fuzz_sysinfo.cpp); seeds: corpus_sysinfo/ (the files separated by NUL bytes).
add_executable(fuzz_sysinfo ${CMAKE_CURRENT_LIST_DIR}/fuzz_sysinfo.cpp)
target_compile_options(fuzz_sysinfo PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_sysinfo PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_sysinfo PRIVATE corvane_reports_core)
target_compile_options(corvane_reports_core PRIVATE -fsanitize=fuzzer-no-link)
