# `format-check` fails when a C++ file differs from .clang-format; `format` rewrites them. clang-format's layout
# changes between releases, so both use exactly clang-format 14 (Debian 12's clang-format-14), whatever else the
# host has; without it they fail and say what to install.
function(flumewire_is_clang_format_14 result candidate)
    execute_process(COMMAND ${candidate} --version OUTPUT_VARIABLE version ERROR_QUIET)
    if(NOT version MATCHES "clang-format version 14\\.")
        set(${result} FALSE PARENT_SCOPE)
    endif()
endfunction()
find_program(FLUMEWIRE_CLANG_FORMAT NAMES clang-format-14 clang-format VALIDATOR flumewire_is_clang_format_14)

if(FLUMEWIRE_CLANG_FORMAT)
    file(GLOB_RECURSE FLUMEWIRE_FORMAT_FILES CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
        ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
        ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.h
        ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/tools/*.h
        ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
    add_custom_target(format-check
        COMMAND ${FLUMEWIRE_CLANG_FORMAT} --dry-run --Werror ${FLUMEWIRE_FORMAT_FILES}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} COMMENT "Checking C++ formatting")
    add_custom_target(format
        COMMAND ${FLUMEWIRE_CLANG_FORMAT} -i ${FLUMEWIRE_FORMAT_FILES}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} COMMENT "Formatting C++ sources")
else()
    message(WARNING "clang-format 14 not found: the format check fails until it is installed (clang-format-14)")
    foreach(target format-check format)
        add_custom_target(${target}
            COMMAND ${CMAKE_COMMAND} -E echo "clang-format 14 not found; install clang-format-14"
            COMMAND ${CMAKE_COMMAND} -E false)
    endforeach()
endif()
