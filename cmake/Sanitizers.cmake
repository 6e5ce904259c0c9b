# NCD_SANITIZE=address builds with AddressSanitizer and UndefinedBehaviorSanitizer;
# NCD_SANITIZE=undefined with UndefinedBehaviorSanitizer alone (the clang build: clang's
# finds what gcc's does not); NCD_SANITIZE=fuzz with both and libFuzzer's coverage (clang);
# NCD_SANITIZE=thread with ThreadSanitizer. Both keep frame pointers for readable reports.
if(NCD_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(NCD_SANITIZE STREQUAL "undefined")
  add_compile_options(-fsanitize=undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # The runtime as a shared library, so that our shared libraries (linked
    # with --no-undefined, loaded into plain tclsh too) find it.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-resource-dir
                    OUTPUT_VARIABLE NCD_CLANG_RESOURCE_DIR OUTPUT_STRIP_TRAILING_WHITESPACE)
    add_link_options(-shared-libsan -Wl,-rpath,${NCD_CLANG_RESOURCE_DIR}/lib/linux)
  endif()
elseif(NCD_SANITIZE STREQUAL "fuzz")
  # libFuzzer's coverage everywhere; the fuzz target links the fuzzer itself.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(NCD_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT NCD_SANITIZE STREQUAL "none" AND NOT NCD_SANITIZE STREQUAL "OFF")
  message(FATAL_ERROR "NCD_SANITIZE must be none, address, undefined, fuzz or thread (got '${NCD_SANITIZE}')")
endif()
