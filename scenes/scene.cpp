#include "scenes/scene.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gl.h"
#include "shaders/shader_texts.h"

namespace {

std::string InfoLog(GLuint object, bool isProgram) {
    GLint size = 0;
    (isProgram ? gl::GetProgramiv : gl::GetShaderiv)(object, GL_INFO_LOG_LENGTH, &size);
    std::string log(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    (isProgram ? gl::GetProgramInfoLog : gl::GetShaderInfoLog)(object, static_cast<GLsizei>(log.size()),
                                                               nullptr, log.data());
    log.resize(std::strlen(log.c_str()));
    return log;
}

// Each failure: what failed, and the driver's log.
using Failures = std::vector<std::string>;

void AddFailure(Failures& failures, const char* what, const std::string& log) {
    failures.push_back(std::string(what) + " failed:\n" + log + "\n");
}

GLuint CompiledShader(const char* what, GLenum type, const char* text, Failures& failures) {
    const GLuint shader = gl::CreateShader(type);
    gl::ShaderSource(shader, 1, &text, nullptr);
    gl::CompileShader(shader);
    GLint compiled = GL_FALSE;
    gl::GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) AddFailure(failures, what, InfoLog(shader, false));
    return shader;
}

// The program, linked whether or not its shaders compiled, and each failure on the way.
GLuint BuiltProgram(const char* vertex, const char* fragment, Failures& failures) {
    const GLuint program = gl::CreateProgram();
    gl::AttachShader(program,
                     CompiledShader("vertex shader compilation", GL_VERTEX_SHADER, vertex, failures));
    gl::AttachShader(program,
                     CompiledShader("fragment shader compilation", GL_FRAGMENT_SHADER, fragment, failures));
    gl::LinkProgram(program);
    GLint linked = GL_FALSE;
    gl::GetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) AddFailure(failures, "program link", InfoLog(program, true));
    return program;
}

}  // namespace

uint32_t buildProgram(const char* scene, const char* fragment) {
    return buildProgram(scene, shader_text::Vertex, fragment);
}

uint32_t buildProgram(const char* scene, const char* vertex, const char* fragment) {
    Failures failures;
    const GLuint program = BuiltProgram(vertex, fragment, failures);
    for (const std::string& failure : failures) std::fprintf(stderr, "%s: %s", scene, failure.c_str());
    return program;
}

uint32_t linkProgram(const char* vertex, const char* fragment, std::string& log) {
    Failures failures;
    const GLuint program = BuiltProgram(vertex, fragment, failures);
    if (failures.empty()) return program;
    log.clear();
    for (const std::string& failure : failures) log += failure;
    return 0;
}

bool SceneBase::ReplaceProgram(uint32_t built, const char*, std::string&) {
    program->id = built;
    return true;
}

void RenderProgram(uint32_t program, float width, float height, double time, const float* val) {
    const GLuint id = program;
    gl::UseProgram(id);
    gl::Uniform2f(gl::GetUniformLocation(id, "resolution"), width, height);
    gl::Uniform1f(gl::GetUniformLocation(id, "time"), static_cast<float>(time));
    gl::Uniform1f(gl::GetUniformLocation(id, "scenetime"), kSceneTime);
    gl::Uniform3f(gl::GetUniformLocation(id, "val"), val[0], val[1], val[2]);
    gl::DrawFullScreenRect();
    gl::UseProgram(0);
}
