# Instrumentation for the whole build. Any finding must stop the program,
# so recovery is switched off.
if(QV450_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(QV450_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QV450_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QV450_SANITIZE must be empty, 'address' or 'thread'")
endif()
