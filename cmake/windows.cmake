# The Windows program and its tests, included by the top-level CMakeLists.txt when building for Windows:
# Win32, GDI and WGL for the window, winmm and Media Foundation for the audio, all from the system.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
find_package(OpenGL REQUIRED)
find_package(Threads REQUIRED)

option(TESSELUNE_TESTS "Build the tests" ON)

add_subdirectory(shaders)
add_subdirectory(platform)
add_subdirectory(audio)
add_subdirectory(scenes)
add_subdirectory(demo)

if(TESSELUNE_TESTS)
    enable_testing()
    add_subdirectory(tests/windows)
endif()
