# Warning flags shared by every target; the core adds -Wconversion on top.
function(vexar_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wdouble-promotion)
  if(VEXAR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

function(vexar_core_warnings target)
  vexar_warnings(${target})
  target_compile_options(${target} PRIVATE -Wconversion -Wsign-conversion)
endfunction()
