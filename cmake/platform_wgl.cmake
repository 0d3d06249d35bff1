# The Windows program and its tests, included by the top-level CMakeLists.txt for the platform wgl, the
# default when building for Windows: Win32, GDI and WGL for the window, winmm and Media Foundation for the
# audio, all from the system.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
find_package(OpenGL REQUIRED)
find_package(Threads REQUIRED)

option(TESSELUNE_TESTS "Build the tests" ON)

# The folder of platform/, the window built on it and the sound's folder of audio/. The show is a GUI program
# (WinMain), one tesselune.exe with the run-times linked in.
set(TESSELUNE_PLATFORM_FOLDERS wgl)
set(TESSELUNE_WINDOWS wgl)
set(TESSELUNE_STUDIO ON)
set(TESSELUNE_AUDIO windows)
set(TESSELUNE_PROGRAM_KIND WIN32)
function(tesselune_program target)
    install(TARGETS ${target} RUNTIME DESTINATION bin)
endfunction()

if(TESSELUNE_TESTS)
    enable_testing()
    set(TESSELUNE_MORE_FOLDERS tests/windows)
endif()
