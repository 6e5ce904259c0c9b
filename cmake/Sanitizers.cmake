# NCD_SANITIZE=address builds with AddressSanitizer and UndefinedBehaviorSanitizer;
# NCD_SANITIZE=thread with ThreadSanitizer. Both keep frame pointers for readable reports.
if(NCD_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(NCD_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT NCD_SANITIZE STREQUAL "none" AND NOT NCD_SANITIZE STREQUAL "OFF")
  message(FATAL_ERROR "NCD_SANITIZE must be none, address or thread (got '${NCD_SANITIZE}')")
endif()
