# flumewire_warnings(target): the project's warning set; errors when FLUMEWIRE_WERROR is on (CI).
function(flumewire_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(FLUMEWIRE_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
