# Linux, included by the top-level CMakeLists.txt for the platforms sdl and null: SDL2 for the window and the
# sound, libsndfile, libmpg123 and libopenmpt for the tracks, EGL for the headless contexts of the tools and
# the tests; the show, the tools and every test.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
pkg_check_modules(OPENMPT REQUIRED IMPORTED_TARGET libopenmpt)
set(OpenGL_GL_PREFERENCE GLVND)
find_package(OpenGL REQUIRED COMPONENTS OpenGL EGL)
find_package(Threads REQUIRED)

# TESSELUNE_TESTS: build the tests (GoogleTest); without GoogleTest they are left out, with a line saying so.
option(TESSELUNE_TESTS "Build the tests (needs GoogleTest)" ON)
set(tesselune_tests ${TESSELUNE_TESTS})
if(tesselune_tests)
    find_package(GTest QUIET)
    if(GTest_FOUND)
        include(GoogleTest)
        enable_testing()
    else()
        message(STATUS "GoogleTest not found: the tests are not built (TESSELUNE_TESTS is off)")
        set(tesselune_tests OFF)
    endif()
endif()

# The folders of platform/ and the windows built on them: the show's, the null one the tests drive, and the
# template's. The sound is audio/sdl's.
set(TESSELUNE_PLATFORM_FOLDERS egl sdl null template)
set(TESSELUNE_WINDOWS sdl null template)
set(TESSELUNE_STUDIO ON)
set(TESSELUNE_AUDIO sdl)
# `cmake --install` puts the show in <prefix>/bin and its track in <prefix>/share/tesselune/Resource, where the
# program looks when its working directory has none.
function(tesselune_program target)
    install(TARGETS ${target} RUNTIME DESTINATION bin)
endfunction()

set(TESSELUNE_MORE_FOLDERS tools)
if(tesselune_tests)
    list(APPEND TESSELUNE_MORE_FOLDERS tests)
endif()
