# `format-check` fails when a tracked C++ file differs from .clang-format; `format` rewrites them.
find_program(CLANG_FORMAT_EXE NAMES clang-format clang-format-14)
if(CLANG_FORMAT_EXE)
    file(GLOB_RECURSE FLUMEWIRE_FORMAT_FILES CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
        ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
        ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.h
        ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
    add_custom_target(format-check
        COMMAND ${CLANG_FORMAT_EXE} --dry-run --Werror ${FLUMEWIRE_FORMAT_FILES}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} COMMENT "Checking C++ formatting")
    add_custom_target(format
        COMMAND ${CLANG_FORMAT_EXE} -i ${FLUMEWIRE_FORMAT_FILES}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} COMMENT "Formatting C++ sources")
endif()
