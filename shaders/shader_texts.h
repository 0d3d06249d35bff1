// The shader texts, embedded at build time: the shared vertex shader, the simplex noise kit that three
// fragment shaders include, and each scene's complete fragment text (one per row of the scene list); and the
// show's schedule.
#pragma once

#include "shaders/scene_list.h"

namespace shader_text {

extern const char Vertex[];
extern const char NoiseKit[];
extern const char ParticleDisc[];  // Scene2's particles, which every way of drawing them shares
extern const char Upscale[];       // a frame drawn below the window's size, scaled up over it
extern const char Schedule[];      // scenes/schedule.txt: the show's schedule (scenes/scene_schedule.h)
extern const char Gentle[];        // the gentle mode's limit on flashing
#define TESSELUNE_SCENE_TEXT(Name, field, kind) extern const char Name[];
TESSELUNE_SCENES(TESSELUNE_SCENE_TEXT)
#undef TESSELUNE_SCENE_TEXT

}  // namespace shader_text
