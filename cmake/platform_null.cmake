# Linux without a display, included by the top-level CMakeLists.txt: the Linux build (cmake/platform_sdl.cmake)
# with the show on the null window, which draws on a headless context and presents nothing. The tests, which
# run the show in a real window, belong to the sdl build.
set(TESSELUNE_TESTS OFF CACHE BOOL "Build the tests (the sdl build's)")
include("${CMAKE_CURRENT_LIST_DIR}/platform_sdl.cmake")
