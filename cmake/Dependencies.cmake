# Every dependency comes from Debian and is found through pkg-config or
# CMake's own find modules; nothing is vendored.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
pkg_check_modules(LUA REQUIRED IMPORTED_TARGET lua5.1)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
pkg_check_modules(OGG REQUIRED IMPORTED_TARGET ogg)
pkg_check_modules(THEORA REQUIRED IMPORTED_TARGET theoradec)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile)
# The audio tests, fuzz seeds and benchmark encode their own Vorbis files.
pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
# The video tests, fuzz seeds, benchmark and sample generator encode their own Theora files.
pkg_check_modules(THEORAENC REQUIRED IMPORTED_TARGET theoraenc theoradec ogg)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(OPENJPEG REQUIRED IMPORTED_TARGET libopenjp2)
pkg_check_modules(PIXMAN IMPORTED_TARGET pixman-1)
# sd-bus: the session notices of logind and the desktop's screen saver.
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)

# TinyXML ships no pkg-config file on Debian.
find_path(TINYXML_INCLUDE_DIR tinyxml.h REQUIRED)
find_library(TINYXML_LIBRARY tinyxml REQUIRED)
add_library(tinyxml_dep INTERFACE)
target_include_directories(tinyxml_dep INTERFACE ${TINYXML_INCLUDE_DIR})
target_link_libraries(tinyxml_dep INTERFACE ${TINYXML_LIBRARY})
# Debian builds libtinyxml with STL strings.
target_compile_definitions(tinyxml_dep INTERFACE TIXML_USE_STL)

if(PELLWOOD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(PELLWOOD_BENCH)
  find_package(benchmark REQUIRED)
endif()
