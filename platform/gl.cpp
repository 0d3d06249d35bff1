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

}  // namespace gl
