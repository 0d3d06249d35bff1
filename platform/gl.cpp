#include "platform/gl.h"

namespace gl {

const char* MissingShaderFunction() {
    static const char* const kNames[] = {
        "glCreateProgram", "glCreateShader",     "glShaderSource",      "glCompileShader",
        "glAttachShader",  "glLinkProgram",      "glUseProgram",        "glGetUniformLocation",
        "glUniform1f",     "glUniform2f",        "glUniform3f",         "glGetShaderiv",
        "glGetProgramiv",  "glGetShaderInfoLog", "glGetProgramInfoLog",
    };
    for (const char* name : kNames) {
        if (GetGLProcAddress(name) == nullptr) return name;
    }
    return nullptr;
}

#ifdef __EMSCRIPTEN__
void DrawFullScreenRect() {
    glDrawArrays(GL_TRIANGLES, 0, 3);
}

// One triangle whose corners lie outside clip space, so that its inside holds the whole square: no pixel is
// reached twice, as none is on a shared edge.
void PrepareFullScreenRect() {
    static const GLfloat kCorners[] = {-1.0f, -1.0f, 3.0f, -1.0f, -1.0f, 3.0f};
    GLuint buffer = 0;
    GenBuffers(1, &buffer);
    BindBuffer(GL_ARRAY_BUFFER, buffer);
    BufferData(GL_ARRAY_BUFFER, sizeof kCorners, kCorners, GL_STATIC_DRAW);
    VertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    EnableVertexAttribArray(0);
}
#else
void DrawFullScreenRect() {
    glRecti(1, 1, -1, -1);
}
#endif

}  // namespace gl
