#include "scenes/scene.h"

#include <cstdio>
#include <string>

#include "platform/gl.h"
#include "shaders/shader_texts.h"

namespace {

void ReportLog(const char* scene, const char* what, GLuint object, bool isProgram) {
    GLint size = 0;
    (isProgram ? gl::GetProgramiv : gl::GetShaderiv)(object, GL_INFO_LOG_LENGTH, &size);
    std::string log(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    (isProgram ? gl::GetProgramInfoLog : gl::GetShaderInfoLog)(object, static_cast<GLsizei>(log.size()),
                                                               nullptr, log.data());
    std::fprintf(stderr, "%s: %s failed:\n%s\n", scene, what, log.c_str());
}

GLuint CompiledShader(const char* scene, const char* what, GLenum type, const char* text) {
    const GLuint shader = gl::CreateShader(type);
    gl::ShaderSource(shader, 1, &text, nullptr);
    gl::CompileShader(shader);
    GLint compiled = GL_FALSE;
    gl::GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) ReportLog(scene, what, shader, false);
    return shader;
}

}  // namespace

uint32_t buildProgram(const char* scene, const char* fragment) {
    return buildProgram(scene, shader_text::Vertex, fragment);
}

uint32_t buildProgram(const char* scene, const char* vertex, const char* fragment) {
    const GLuint program = gl::CreateProgram();
    gl::AttachShader(program, CompiledShader(scene, "vertex shader compilation", GL_VERTEX_SHADER, vertex));
    gl::AttachShader(program,
                     CompiledShader(scene, "fragment shader compilation", GL_FRAGMENT_SHADER, fragment));
    gl::LinkProgram(program);
    GLint linked = GL_FALSE;
    gl::GetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) ReportLog(scene, "program link", program, true);
    return program;
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
