#include "scenes/scene2_particles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gl.h"
#include "shaders/shader_texts.h"
#ifdef __EMSCRIPTEN__
#include <emscripten/html5.h>
#endif

namespace {

constexpr int kSide = 15;  // particles in a row, and rows
constexpr int kPasses = kSide * kSide;
constexpr float kDimming = 0.995f;  // the share of the colour behind that each pass keeps
// Per vertex: the corner in clip space (2), the particle centre (3), and the pass's weights (2).
constexpr int kVertexFloats = 7;
constexpr double kPi = 3.14159265358979323846;

// The particles' rectangles: each carries its centre and its pass's weights to every pixel it covers.
constexpr char kParticleVertex[] = R"glsl(
in vec2 corner;
in vec3 centre;
in vec2 weights;
flat out vec3 particle;
flat out vec2 passWeights;
void main() {
    particle = centre;
    passWeights = weights;
    gl_Position = vec4(corner, 0.0, 1.0);
}
)glsl";

// One particle's pass k, rescaled by 0.995^-k so that the passes of the particles that miss a pixel change
// nothing there. With T the tint summed over the passes before (each rescaled the same way), the pass
//   color' = color * invalpha + (invalpha - 1) * T + light * 0.995^-k
// runs as blending (source plus destination times source alpha); the alpha channel gathers the product of
// the invalphas, by which the gradient underneath is multiplied at the end.
constexpr char kParticleFragment[] = R"glsl(
uniform vec2 resolution;
uniform vec3 camera;
uniform float shift;
uniform vec3 lightColor;
uniform float lightLift;
uniform vec3 tint;
flat in vec3 particle;
flat in vec2 passWeights;
out vec4 fragColor;
void main() {
    vec3 dir = particleView(gl_FragCoord.xy, resolution, shift);
    vec3 toCentre = particle - camera;
    vec3 diff = dot(toCentre, dir) * dir - toCentre;
    vec4 disc = particleDisc(diff, dot(diff, diff), particle.z - camera.z, lightColor, lightLift);
    fragColor = vec4(disc.xyz * passWeights.x + (disc.w - 1.0) * passWeights.y * tint, disc.w);
}
)glsl";

// One triangle over the whole viewport, from the vertex number alone.
constexpr char kScreenVertex[] = R"glsl(
void main() {
    gl_Position = vec4(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0, 0.0, 1.0);
}
)glsl";

// The picture: the gradient under the particles, everything undone of the rescaling, and the tint of every
// pass.
constexpr char kResolveFragment[] = R"glsl(
uniform sampler2D field;
uniform vec2 resolution;
uniform float dimming;
uniform vec3 tintSum;
out vec4 fragColor;
void main() {
    vec4 passes = texelFetch(field, ivec2(gl_FragCoord.xy), 0);
    fragColor = vec4((passes.rgb + passes.a * particleBackground(gl_FragCoord.y, resolution.y)) * dimming + tintSum,
                     1.0);
}
)glsl";

const char* const kNeededFunctions[] = {
    "glGenFramebuffers", "glBindFramebuffer",   "glFramebufferTexture2D", "glCheckFramebufferStatus",
    "glGenBuffers",      "glBindBuffer",        "glBufferData",           "glGenVertexArrays",
    "glBindVertexArray", "glGetAttribLocation", "glVertexAttribPointer",  "glEnableVertexAttribArray",
    "glUniform1i",       "glActiveTexture",     "glBlendFuncSeparate",    "glBlendEquationSeparate",
};

// Whether the current context has the extension `name` (GL_...), which a browser's context also enables.
bool HasExtension(const char* name) {
#ifdef __EMSCRIPTEN__
    return emscripten_webgl_enable_extension(emscripten_webgl_get_current_context(), name + 3);
#else
    const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (all == nullptr) return false;
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(all, name); at != nullptr; at = std::strstr(at + length, name)) {
        if ((at == all || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    }
    return false;
#endif
}

// Whether the current context renders into float colour targets and blends them, and with which shading
// language the path's shaders begin.
bool BlendsFloatTargets(std::string& versionLine) {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version == nullptr) return false;
    const bool es = std::strncmp(version, "OpenGL ES", 9) == 0;
    const int major = std::atoi(version + std::strcspn(version, "0123456789"));
    if (major < 3) return false;
    if (es && !(HasExtension("GL_EXT_color_buffer_float") && HasExtension("GL_EXT_float_blend")))
        return false;
    for (const char* name : kNeededFunctions) {
        if (GetGLProcAddress(name) == nullptr) return false;
    }
    // The float target is read at full precision too, not at the lower default of an ES sampler.
    versionLine =
        es ? "#version 300 es\nprecision highp float;\nprecision highp sampler2D;\n" : "#version 130\n";
    return true;
}

// The GL state the path changes, put back as it was when this goes.
class SavedState {
public:
    SavedState() {
        glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray_);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer_);
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer_);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer_);
        glGetIntegerv(GL_VIEWPORT, viewport_);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor_);
        blend_ = glIsEnabled(GL_BLEND);
        glGetIntegerv(GL_BLEND_SRC_RGB, &blendFunc_[0]);
        glGetIntegerv(GL_BLEND_DST_RGB, &blendFunc_[1]);
        glGetIntegerv(GL_BLEND_SRC_ALPHA, &blendFunc_[2]);
        glGetIntegerv(GL_BLEND_DST_ALPHA, &blendFunc_[3]);
        glGetIntegerv(GL_BLEND_EQUATION_RGB, &blendEquation_[0]);
        glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &blendEquation_[1]);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
        gl::ActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
    }
    ~SavedState() {
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture_));
        gl::ActiveTexture(static_cast<GLenum>(activeTexture_));
        gl::BlendEquationSeparate(static_cast<GLenum>(blendEquation_[0]),
                                  static_cast<GLenum>(blendEquation_[1]));
        gl::BlendFuncSeparate(static_cast<GLenum>(blendFunc_[0]), static_cast<GLenum>(blendFunc_[1]),
                              static_cast<GLenum>(blendFunc_[2]), static_cast<GLenum>(blendFunc_[3]));
        blend_ ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        glClearColor(clearColor_[0], clearColor_[1], clearColor_[2], clearColor_[3]);
        glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        gl::BindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer_));
        gl::BindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawFramebuffer_));
        gl::BindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer_));
        gl::BindVertexArray(static_cast<GLuint>(vertexArray_));
        gl::UseProgram(static_cast<GLuint>(program_));
    }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

    GLuint DrawFramebuffer() const { return static_cast<GLuint>(drawFramebuffer_); }

private:
    GLint program_ = 0, vertexArray_ = 0, arrayBuffer_ = 0, drawFramebuffer_ = 0, readFramebuffer_ = 0;
    GLint viewport_[4] = {0, 0, 0, 0};
    GLfloat clearColor_[4] = {0, 0, 0, 0};
    GLboolean blend_ = GL_FALSE;
    GLint blendFunc_[4] = {GL_ONE, GL_ZERO, GL_ONE, GL_ZERO};
    GLint blendEquation_[2] = {GL_FUNC_ADD, GL_FUNC_ADD};
    GLint activeTexture_ = GL_TEXTURE0, texture_ = 0;
};

// The range of tan(angle) over the angles under which a ball of radius `radius` at (lateral, depth) is seen
// from the origin, in the plane of the two; unbounded on a side that reaches a right angle.
void TangentRange(double lateral, double depth, double radius, double& low, double& high) {
    low = -HUGE_VAL;
    high = HUGE_VAL;
    const double distance = std::hypot(lateral, depth);
    if (!(depth > 0.0) || !(distance > radius)) return;
    const double angle = std::atan2(lateral, depth), half = std::asin(radius / distance);
    if (angle - half > -kPi / 2) low = std::tan(angle - half);
    if (angle + half < kPi / 2) high = std::tan(angle + half);
}

// The first and one past the last pixel whose centre c has (c - offset) / scale in [low, high], with a pixel
// to spare on each side, within [0, size).
void PixelSpan(double low, double high, double offset, double scale, int size, int& first, int& end) {
    const double from = std::floor(low * scale + offset - 0.5) - 1.0;
    const double to = std::ceil(high * scale + offset - 0.5) + 1.0;
    first = static_cast<int>(std::clamp(from, 0.0, static_cast<double>(size)));
    end = static_cast<int>(std::clamp(to + 1.0, 0.0, static_cast<double>(size)));
}

}  // namespace

class ParticleField {
public:
    // The path on the current context with the particle disc text `disc`, or null where the context lacks
    // what it needs or the programs do not build (their logs then in `log`).
    static std::unique_ptr<ParticleField> Create(const char* disc, std::string& log);
    // False, having drawn nothing, where the float target cannot take the size.
    bool Draw(float width, float height, double time, const float* val);

private:
    bool Resize(int width, int height);
    // The frame's particles as rectangles over their discs' pixel boxes; sets the uniforms they share.
    void Layout(int width, int height, float time, const float* val);

    GLuint particles_ = 0, resolve_ = 0, vertexArray_ = 0, buffer_ = 0, framebuffer_ = 0, texture_ = 0;
    int width_ = 0, height_ = 0;
    // Pass k (from 1) is rescaled by passScale_[k - 1], and the tint of the passes before it sums to
    // tintBefore_[k - 1] times the tint.
    float passScale_[kPasses] = {}, tintBefore_[kPasses] = {};
    float dimmed_ = 0.0f;     // what the passes leave of the gradient: 0.995^225
    float tintTotal_ = 0.0f;  // the tint of every pass, each dimmed by the passes after it
    std::vector<float> vertices_;
    float camera_[3] = {}, shift_ = 0.0f, lightColor_[3] = {}, lightLift_ = 0.0f, tint_[3] = {};
};

std::unique_ptr<ParticleField> ParticleField::Create(const char* disc, std::string& log) {
    std::string versionLine;
    if (!BlendsFloatTargets(versionLine)) return nullptr;
    const auto build = [&](const char* vertex, const char* fragment) {
        const std::string vertexText = versionLine + vertex;
        const std::string fragmentText = versionLine + disc + fragment;
        return linkProgram(vertexText.c_str(), fragmentText.c_str(), log);
    };
    std::unique_ptr<ParticleField> field(new ParticleField);
    field->particles_ = build(kParticleVertex, kParticleFragment);
    field->resolve_ = build(kScreenVertex, kResolveFragment);
    if (field->particles_ == 0 || field->resolve_ == 0) return nullptr;

    double scale = 1.0, tint = 0.0;
    for (int k = 0; k < kPasses; ++k) {
        field->tintBefore_[k] = static_cast<float>(tint);
        scale /= kDimming;
        tint += scale;
        field->passScale_[k] = static_cast<float>(scale);
    }
    field->dimmed_ = static_cast<float>(1.0 / scale);
    field->tintTotal_ = static_cast<float>(tint / scale);

    SavedState saved;
    gl::GenVertexArrays(1, &field->vertexArray_);
    gl::GenBuffers(1, &field->buffer_);
    gl::BindVertexArray(field->vertexArray_);
    gl::BindBuffer(GL_ARRAY_BUFFER, field->buffer_);
    const struct {
        const char* name;
        GLint size, offset;
    } attributes[] = {{"corner", 2, 0}, {"centre", 3, 2}, {"weights", 2, 5}};
    for (const auto& attribute : attributes) {
        const GLint location = gl::GetAttribLocation(field->particles_, attribute.name);
        if (location < 0) return nullptr;
        gl::EnableVertexAttribArray(static_cast<GLuint>(location));
        gl::VertexAttribPointer(static_cast<GLuint>(location), attribute.size, GL_FLOAT, GL_FALSE,
                                kVertexFloats * sizeof(float),
                                reinterpret_cast<const void*>(attribute.offset * sizeof(float)));
    }
    glGenTextures(1, &field->texture_);
    glBindTexture(GL_TEXTURE_2D, field->texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl::GenFramebuffers(1, &field->framebuffer_);
    // A float target that cannot be drawn into leaves the scene to the shader path.
    if (!field->Resize(1, 1)) return nullptr;
    return field;
}

bool ParticleField::Resize(int width, int height) {
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    gl::FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    if (gl::CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        width_ = height_ = 0;
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void ParticleField::Layout(int width, int height, float time, const float* val) {
    // The camera, the view's turn and the two rules that time selects, in single precision as a pixel of
    // the shader path works them out.
    const float sway = std::sin(val[2] + time);
    camera_[0] = val[0] / 2.0f + sway;
    camera_[1] = 3.0f + val[1] / 4.0f + sway;
    camera_[2] = -25.0f + sway;
    shift_ = std::min(-0.5f + time / 100.0f, 0.0f);
    if (time < kSceneTime * 13.0f) {
        std::fill(lightColor_, lightColor_ + 3, 0.1f * 3.0f * (0.5f + val[2] * 16.0f));
        lightLift_ = 3.0f;
        std::fill(tint_, tint_ + 3, 0.0f);
    } else {
        const float base[3] = {0.1f, 0.15f, 0.2f};
        for (int c = 0; c < 3; ++c) {
            lightColor_[c] = base[c] * val[c] * 8.0f;
            tint_[c] = std::sin(val[2 - c]) * 5.0f * time / 1000000.0f;
        }
        lightLift_ = 6.0f;
    }

    vertices_.clear();
    int pass = 0;
    for (float y = 7.0f; y >= -7.0f; y -= 1.0f) {
        for (float x = -7.0f; x <= 7.0f; x += 1.0f, ++pass) {
            float s[3];
            if (time < kSceneTime * 4.0f) {
                s[0] = x + std::sin(time + y * 0.7f) * 4.0f;
                s[1] = std::tan(time + x * 0.5f + y * 0.5f) * 2.0f;
                s[2] = y + std::cos(time - x * 0.7f) * 4.0f;
            } else if (time < kSceneTime * 7.8f) {
                s[0] = x + std::sin(time * 2.0f + y * 0.7f - val[0] / 4.0f) * 4.0f;
                s[1] = std::tan(time + x * 0.5f + y * 0.5f - val[1] / 12.0f);
                s[2] = y + std::cos(time * 2.0f - x * 0.7f) * 4.0f;
            } else {
                s[0] = x + std::sin(time - val[0] + y * 0.7f);
                s[1] = std::sin(time - val[1] + x * 0.5f + y * 0.5f) * 24.0f * val[1] * val[2];
                s[2] = y + std::sin(time - val[2] - x * 0.7f) * 8.0f;
            }
            if (!(std::isfinite(s[0]) && std::isfinite(s[1]) && std::isfinite(s[2]))) continue;

            // The pixels whose view line may pass within the disc's edge: those that see a ball around the
            // centre a little larger than the disc. The view direction of a pixel centre (fx, fy) is
            // ((fx - W / 2) / W + shift, (fy - H / 2) / W - 0.1, 1).
            const double gap = s[2] - camera_[2];
            const double reach = (1.0 + 2.0 / gap) * 1.001 + 1e-3;
            double low, high;
            int x0, x1, y0, y1;
            TangentRange(s[0] - camera_[0], gap, reach, low, high);
            PixelSpan(low - shift_, high - shift_, width / 2.0, width, width, x0, x1);
            TangentRange(s[1] - camera_[1], gap, reach, low, high);
            PixelSpan(low + 0.1, high + 0.1, height / 2.0, width, height, y0, y1);
            if (x0 >= x1 || y0 >= y1)
                continue;  // it only dims the picture, which the rescaling takes care of

            const float left = 2.0f * x0 / width - 1.0f, right = 2.0f * x1 / width - 1.0f;
            const float bottom = 2.0f * y0 / height - 1.0f, top = 2.0f * y1 / height - 1.0f;
            const float corners[6][2] = {{left, bottom}, {right, bottom}, {right, top},
                                         {left, bottom}, {right, top},    {left, top}};
            for (const auto& corner : corners) {
                vertices_.insert(vertices_.end(), {corner[0], corner[1], s[0], s[1], s[2], passScale_[pass],
                                                   tintBefore_[pass]});
            }
        }
    }
}

bool ParticleField::Draw(float width, float height, double time, const float* val) {
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    if (w < 1 || h < 1) return true;  // no pixel to draw
    SavedState saved;
    if ((w != width_ || h != height_) && !Resize(w, h)) return false;
    const float t = static_cast<float>(time);
    Layout(w, h, t, val);

    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, w, h);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    gl::BindVertexArray(vertexArray_);
    gl::BindBuffer(GL_ARRAY_BUFFER, buffer_);
    gl::BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(float)),
                   vertices_.data(), GL_STREAM_DRAW);
    gl::UseProgram(particles_);
    gl::Uniform2f(gl::GetUniformLocation(particles_, "resolution"), width, height);
    gl::Uniform3f(gl::GetUniformLocation(particles_, "camera"), camera_[0], camera_[1], camera_[2]);
    gl::Uniform1f(gl::GetUniformLocation(particles_, "shift"), shift_);
    gl::Uniform3f(gl::GetUniformLocation(particles_, "lightColor"), lightColor_[0], lightColor_[1],
                  lightColor_[2]);
    gl::Uniform1f(gl::GetUniformLocation(particles_, "lightLift"), lightLift_);
    gl::Uniform3f(gl::GetUniformLocation(particles_, "tint"), tint_[0], tint_[1], tint_[2]);
    glEnable(GL_BLEND);
    gl::BlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
    gl::BlendFuncSeparate(GL_ONE, GL_SRC_ALPHA, GL_ZERO, GL_SRC_ALPHA);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices_.size() / kVertexFloats));
    glDisable(GL_BLEND);

    gl::BindFramebuffer(GL_DRAW_FRAMEBUFFER, saved.DrawFramebuffer());
    glBindTexture(GL_TEXTURE_2D, texture_);
    gl::UseProgram(resolve_);
    gl::Uniform1i(gl::GetUniformLocation(resolve_, "field"), 0);
    gl::Uniform2f(gl::GetUniformLocation(resolve_, "resolution"), width, height);
    gl::Uniform1f(gl::GetUniformLocation(resolve_, "dimming"), dimmed_);
    gl::Uniform3f(gl::GetUniformLocation(resolve_, "tintSum"), tint_[0] * tintTotal_, tint_[1] * tintTotal_,
                  tint_[2] * tintTotal_);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    return true;
}

Scene2::Scene2(Scene2Path path) : path_(path) {}

Scene2::~Scene2() = default;

void Scene2::Init() {
    program = new ShaderProgram("Scene2", shader_text::Scene2);
    if (path_ == Scene2Path::Shader) return;
    std::string log;
    particles_ = ParticleField::Create(shader_text::ParticleDisc, log);
    if (!log.empty()) std::fprintf(stderr, "Scene2: %s", log.c_str());
}

bool Scene2::ReplaceProgram(uint32_t built, const char* particleDisc, std::string& log) {
    std::unique_ptr<ParticleField> particles;
    if (particleDisc != nullptr && path_ != Scene2Path::Shader) {
        log.clear();
        particles = ParticleField::Create(particleDisc, log);
        if (!particles && !log.empty()) return false;  // it did not build; null alone: the context lacks it
    }
    particles_ = std::move(particles);
    return SceneBase::ReplaceProgram(built, particleDisc, log);
}

void Scene2::Render(double time, const float* val) {
    // A size the float target cannot take is drawn by the shader path.
    if (!particles_ || !particles_->Draw(width, height, time, val))
        RenderProgram(program->id, width, height, time, val);
}
