# Strict warnings for the project's own targets. pictures/ parses hostile
# bytes, so sign and narrowing conversions matter most there.
function(tess_strict_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow)
endfunction()
