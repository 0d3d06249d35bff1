# The show in a web browser, included by the top-level CMakeLists.txt for the platform web, the default when
# building with emscripten (Debian's emscripten; scripts/web runs it): WebGL 2 through the HTML5 API, Web
# Audio through the page, and nothing from emscripten's ports, which would download their sources.
#   emcmake cmake -S . -B build-emscripten -DCMAKE_BUILD_TYPE=Release
option(TESSELUNE_TESTS "Build the browser tests' program" ON)

# The GL loader's libraries are the browser's own.
add_library(OpenGL::GL INTERFACE IMPORTED)

# The folder of platform/, the window built on it and the sound's folder of audio/.
set(TESSELUNE_PLATFORM_FOLDERS web)
set(TESSELUNE_WINDOWS web)
set(TESSELUNE_AUDIO web)

# The link options of a program for the page in web/: WebGL 2 only, a heap that may grow, no emulated file
# system (the track comes from the page; a look for a file finds none), and the exports the page calls (with
# any more given after the target), among them the run dependencies that hold the start until the track's
# first seconds are decoded.
function(tesselune_program target)
    set(exports _main _malloc _free _tesselune_gentle _tesselune_prepare ${ARGN})
    list(JOIN exports "," exports)
    set_target_properties(${target} PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}")
    target_link_options(${target} PRIVATE
        "-sMIN_WEBGL_VERSION=2" "-sMAX_WEBGL_VERSION=2" "-sALLOW_MEMORY_GROWTH=1" "-sINITIAL_MEMORY=33554432"
        "-sMAXIMUM_MEMORY=1073741824" "-sENVIRONMENT=web" "-sFILESYSTEM=0" "-sEXPORTED_FUNCTIONS=${exports}"
        "-sEXPORTED_RUNTIME_METHODS=addRunDependency,removeRunDependency")
endfunction()

if(TESSELUNE_TESTS)
    set(TESSELUNE_MORE_FOLDERS tests/web)
endif()
