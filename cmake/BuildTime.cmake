# What keeps the build short on a two-core machine.
option(VEXAR_PCH "Precompile the headers most files of the programs and tests include" ON)

# A test program drives the libraries, which are built fully optimised; its own code (fixtures,
# assertions, synthetic scenes) needs no more than -O1 in a release build, which compiles in two
# thirds of the time of -O3. The sanitizer presets choose their own levels. At -O1 gcc 12 takes
# the standard library's own string concatenation for writes out of bounds.
function(vexar_test_program target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-O1 -Wno-array-bounds -Wno-stringop-overflow>)
endfunction()

# Headers that most sources of `target` include, parsed once for the whole target.
function(vexar_precompile target)
  if(VEXAR_PCH)
    target_precompile_headers(${target} PRIVATE ${ARGN})
  endif()
endfunction()
