# Compiler settings shared by every target of ours.

function(pelrin_target_defaults target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Wno-missing-field-initializers)
  if(PELRIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # Vector arithmetic must round every product and sum separately.
  target_compile_options(${target} PRIVATE -ffp-contract=off)
endfunction()
