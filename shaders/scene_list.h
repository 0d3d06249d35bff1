// The one list of the show's scenes, in the order the show builds them. Each row names the scene's class, the
// main window's field that holds it, and how the class is made: a ShaderScene draws its fragment text alone,
// an OwnClass scene is written in a header of its own (included by scenes/scenes.h). The scene's fragment
// text is shaders/<class>.frag. Everything that lists the scenes is made from it (their classes, ids, names,
// fragment texts, the main window's fields, and what the tests and scripts go through, which read its rows):
// adding a scene is a row here and its shader file. It lies beside the texts, below every layer that uses it.
#pragma once

#define TESSELUNE_SCENES(X)            \
    X(Sceneb, sceneb, ShaderScene)     \
    X(Scenew, scenew, ShaderScene)     \
    X(Scene0, scene0, ShaderScene)     \
    X(Scene1, scene1, ShaderScene)     \
    X(Scene2, scene2, OwnClass)        \
    X(Scene3, scene3, ShaderScene)     \
    X(Scene4, scene4, ShaderScene)     \
    X(Scene5, scene5, ShaderScene)     \
    X(Scene5_1, scene5_1, ShaderScene) \
    X(Scene6, scene6, ShaderScene)     \
    X(Scene7, scene7, ShaderScene)     \
    X(Scene8, scene8, ShaderScene)
