// The one list of the show's scenes, in the order the show builds them. Each row names the scene's class and
// the main window's field that holds it; the scene's fragment text is shaders/<class>.frag. Everything that
// lists the scenes (their classes, ids, names, fragment texts, the main window's fields) is made from it:
// adding a scene is a row here and its shader file.
#pragma once

#define TESSELUNE_SCENES(X) \
    X(Sceneb, sceneb)       \
    X(Scenew, scenew)       \
    X(Scene0, scene0)       \
    X(Scene1, scene1)       \
    X(Scene2, scene2)       \
    X(Scene3, scene3)       \
    X(Scene4, scene4)       \
    X(Scene5, scene5)       \
    X(Scene5_1, scene5_1)   \
    X(Scene6, scene6)       \
    X(Scene7, scene7)       \
    X(Scene8, scene8)
