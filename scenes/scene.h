// Scenes: one full-screen effect each, a program made of the shared vertex shader and a fragment shader of
// the scene's own, drawn with the four uniforms every fragment shader may read:
//   resolution (vec2)  the viewport size in pixels
//   time (float)       the music time in seconds
//   scenetime (float)  one bar of the music, 8/3 s
//   val (vec3)         the three spectrum levels: low, middle and high band
#pragma once

#include <cstdint>
#include <string>

// The length of one bar as the shaders receive it: the float nearest to 8/3.
constexpr float kSceneTime = 2.6666667f;

// Compiles the shared vertex shader and `fragment` and links them into a new program. A shader that fails to
// compile or a program that fails to link is reported on standard error with `scene` and the driver's log;
// the program name is returned all the same (drawing with it then shows whatever the driver makes of it).
uint32_t buildProgram(const char* scene, const char* fragment);
// The same with a vertex shader of the caller's own.
uint32_t buildProgram(const char* scene, const char* vertex, const char* fragment);
// Builds a program as buildProgram does, reporting nothing: the program, or 0 with the driver's logs of what
// failed in `log`.
uint32_t linkProgram(const char* vertex, const char* fragment, std::string& log);

struct ShaderProgram {
    ShaderProgram(const char* scene, const char* fragment) : id(buildProgram(scene, fragment)) {}
    uint32_t id;
};

class SceneBase {
public:
    virtual ~SceneBase() = default;  // frees nothing: programs live until the process ends
    virtual void Init() = 0;
    // Draws the scene over the whole viewport: `val` points to the three spectrum levels.
    virtual void Render(double time, const float* val) = 0;
    // Draws with `built` from now on, a program linked from the scene's fragment text as its files now read;
    // `particleDisc` is their particle disc text, or null where the scene's text differs from the built-in
    // one in more than its disc (so that only the program drawn from the text itself shows it). A scene that
    // builds more from the texts may refuse them: false, with the driver's log in `log`, and the scene draws
    // as it did.
    virtual bool ReplaceProgram(uint32_t built, const char* particleDisc, std::string& log);

    float width = 0.0f;  // viewport size, written by the caller before each Render
    float height = 0.0f;
    ShaderProgram* program = nullptr;
};

// Binds `program`, uploads the uniforms in their fixed order and draws the full-screen rectangle.
void RenderProgram(uint32_t program, float width, float height, double time, const float* val);

// The scenes differ only in their fragment text; Name is the scene's class name for reports.
template <const char* Name, const char* Fragment>
class ShaderScene : public SceneBase {
public:
    void Init() override { program = new ShaderProgram(Name, Fragment); }
    void Render(double time, const float* val) override {
        RenderProgram(program->id, width, height, time, val);
    }
};
