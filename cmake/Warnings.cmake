# Every target of the project builds with the same warnings; VORMANT_WERROR
# (on in CI) makes any of them fail the build.
option(VORMANT_WERROR "Treat compiler warnings as errors" OFF)

set(VORMANT_WARNING_FLAGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)

function(vormant_warnings)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE ${VORMANT_WARNING_FLAGS}
                                             $<$<BOOL:${VORMANT_WERROR}>:-Werror>)
  endforeach()
endfunction()
