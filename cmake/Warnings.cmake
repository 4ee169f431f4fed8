# One set of warnings for everything the project compiles in C++: the core, the backends, the fake
# platform, the tests and the tests' helpers. Warnings are errors.
add_library(vorda_warnings INTERFACE)
target_compile_options(vorda_warnings INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror>)
