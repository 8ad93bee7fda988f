# FLUMEWIRE_SANITIZE: everything built carries AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer,
# and stops at the first report. Meant for a Debug build, so Qt's own bounds checks run as well.
# Qt 6.4's inline QList comparison hands memcmp a null pointer for two empty lists of a plain type (QList<double>):
# harmless, but it trips nonnull-attribute inside Qt's header, so that one check is left out.
option(FLUMEWIRE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(FLUMEWIRE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize=nonnull-attribute -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
