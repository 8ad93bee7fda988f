# The project's warning set as one interface target; every target links it through flumewire_warnings(target).
# FLUMEWIRE_WERROR (on in CI) turns the warnings into errors. Qt's headers come in as system headers, so only our
# own code is held to these.
add_library(flumewire_warnings INTERFACE)
target_compile_options(flumewire_warnings INTERFACE
    -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wformat=2)
if(FLUMEWIRE_WERROR)
    target_compile_options(flumewire_warnings INTERFACE -Werror)
endif()

function(flumewire_warnings target)
    target_link_libraries(${target} PRIVATE flumewire_warnings)
endfunction()
