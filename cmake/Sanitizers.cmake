# ASan + UBSan for the asan preset (applies to every target of the build).
option(VEXAR_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VEXAR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
