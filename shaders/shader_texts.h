// The shader texts, embedded at build time: the shared vertex shader, each scene's complete fragment shader,
// and the simplex noise kit that three of them begin with.
#pragma once

namespace shader_text {

extern const char Vertex[];
extern const char NoiseKit[];
extern const char ParticleDisc[];  // Scene2's particles, which every way of drawing them shares
extern const char Sceneb[];
extern const char Scenew[];
extern const char Scene0[];
extern const char Scene1[];
extern const char Scene2[];
extern const char Scene3[];
extern const char Scene4[];
extern const char Scene5[];
extern const char Scene5_1[];
extern const char Scene6[];
extern const char Scene7[];
extern const char Scene8[];

}  // namespace shader_text
