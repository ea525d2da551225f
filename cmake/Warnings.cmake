# Our own code builds with every warning as an error; third-party headers are pulled
# in as system headers by their imported targets, so they stay out of it.
function(kr90x_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
