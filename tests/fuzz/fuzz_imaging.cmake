# Pictures come from anywhere: the PCX decoder, the metafile renderer and the picture reader on
# the JPEG, TIFF and GIF paths, and the GIF writer with its colour reduction. The imaging library
# gets coverage instrumentation and the sanitizers. Seeds: corpus_pcx/, corpus_metafile/,
# corpus_picture/ (the GIF writer starts from nothing).
foreach(_t fuzz_pcx fuzz_metafile fuzz_picture fuzz_gif_writer)
    add_executable(${_t} ${CMAKE_CURRENT_LIST_DIR}/${_t}.cpp)
    target_compile_options(${_t} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${_t} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${_t} PRIVATE corvane_imaging)
endforeach()
target_compile_options(corvane_imaging PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
