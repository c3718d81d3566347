# Sanitizers for the asan and tsan presets (they apply to every target of the build). Those
# presets keep line tables only (-g1): the sanitizers' reports keep their file and line at a part
# of the compile and link time of full debug information. The asan preset builds at -O1 (half the
# compile time of -O2); the tsan preset stays at -O2, where gcc does not take std::optional's
# engaged flag for a value that may be read uninitialised (-Wmaybe-uninitialized is an error).
option(VEXAR_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VEXAR_TSAN "Build with ThreadSanitizer" OFF)
if(VEXAR_SANITIZE AND VEXAR_TSAN)
  message(FATAL_ERROR "VEXAR_SANITIZE and VEXAR_TSAN exclude each other")
endif()
if(VEXAR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VEXAR_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
