// Scene2, the field of 15 x 15 particle discs over a dark blue gradient, drawn one of two ways that give the
// same picture:
// - the shader path, for every OpenGL 2.0 context: the scene's fragment text over the whole viewport, which
//   tests every particle at every pixel;
// - the particle path, where the context renders into float colour targets and blends them (desktop OpenGL
//   3.0; OpenGL ES 3.0 / WebGL 2 with EXT_color_buffer_float and EXT_float_blend): the particle centres and
//   the pixel box of each disc are worked out here once a frame, each disc is one blended rectangle drawn
//   into a float framebuffer, and one last pass writes the picture into the framebuffer that was bound.
#pragma once

#include <memory>

#include "scenes/scene.h"

enum class Scene2Path {
    Choose,     // the particle path where the context allows it, else the shader path
    Shader,     // always the shader path
    Particles,  // the particle path where the context allows it (else, still, the shader path)
};

class ParticleField;

class Scene2 final : public SceneBase {
public:
    explicit Scene2(Scene2Path path = Scene2Path::Choose);
    ~Scene2() override;  // frees no GL object: like the programs, they live until the process ends
    // Builds the scene's program and, where the particle path is wanted and the context allows it, that path.
    void Init() override;
    // Draws into the bound framebuffer over the viewport; the particle path leaves the GL state as it found
    // it.
    void Render(double time, const float* val) override;
    // Where the particle path is wanted and the context allows it, it is built again with `particleDisc`
    // first; a null disc (the scene's own code changed, which the particle path does not follow) leaves the
    // shader path alone.
    bool ReplaceProgram(uint32_t built, const char* particleDisc, std::string& log) override;
    // After Init: Shader or Particles, the path Render takes.
    Scene2Path DrawingPath() const { return particles_ ? Scene2Path::Particles : Scene2Path::Shader; }

private:
    Scene2Path path_;
    std::unique_ptr<ParticleField> particles_;
};
