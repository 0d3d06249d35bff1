// OpenGL for the whole program: the 1.1 functions straight from the system's library, and the 2.0 shader and
// framebuffer functions looked up by name through the current platform at every call, so no address outlives
// the context it came from.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/platform.h"  // GetGLProcAddress

namespace gl {

template <class F>
F Proc(const char* name) {
    return reinterpret_cast<F>(GetGLProcAddress(name));
}

// The first OpenGL 2.0 function the scenes need that the current context lacks, or null when it has them all.
const char* MissingShaderFunction();

// Draws the rectangle that covers clip space from (-1, -1) to (1, 1), reaching every pixel of the viewport
// once: glRecti on desktop OpenGL; on WebGL 2, which has no glRecti, one triangle from a buffer that
// PrepareFullScreenRect binds to attribute 0 of the current context.
void DrawFullScreenRect();
#ifdef __EMSCRIPTEN__
void PrepareFullScreenRect();
#endif

inline GLuint CreateProgram() {
    return Proc<PFNGLCREATEPROGRAMPROC>("glCreateProgram")();
}
inline GLuint CreateShader(GLenum type) {
    return Proc<PFNGLCREATESHADERPROC>("glCreateShader")(type);
}
inline void ShaderSource(GLuint shader, GLsizei count, const GLchar* const* text, const GLint* lengths) {
    Proc<PFNGLSHADERSOURCEPROC>("glShaderSource")(shader, count, text, lengths);
}
inline void CompileShader(GLuint shader) {
    Proc<PFNGLCOMPILESHADERPROC>("glCompileShader")(shader);
}
inline void AttachShader(GLuint program, GLuint shader) {
    Proc<PFNGLATTACHSHADERPROC>("glAttachShader")(program, shader);
}
inline void LinkProgram(GLuint program) {
    Proc<PFNGLLINKPROGRAMPROC>("glLinkProgram")(program);
}
inline void UseProgram(GLuint program) {
    Proc<PFNGLUSEPROGRAMPROC>("glUseProgram")(program);
}
inline GLint GetUniformLocation(GLuint program, const char* name) {
    return Proc<PFNGLGETUNIFORMLOCATIONPROC>("glGetUniformLocation")(program, name);
}
inline void Uniform1f(GLint location, GLfloat x) {
    Proc<PFNGLUNIFORM1FPROC>("glUniform1f")(location, x);
}
inline void Uniform2f(GLint location, GLfloat x, GLfloat y) {
    Proc<PFNGLUNIFORM2FPROC>("glUniform2f")(location, x, y);
}
inline void Uniform3f(GLint location, GLfloat x, GLfloat y, GLfloat z) {
    Proc<PFNGLUNIFORM3FPROC>("glUniform3f")(location, x, y, z);
}
inline void GetShaderiv(GLuint shader, GLenum name, GLint* value) {
    Proc<PFNGLGETSHADERIVPROC>("glGetShaderiv")(shader, name, value);
}
inline void GetShaderInfoLog(GLuint shader, GLsizei size, GLsizei* length, GLchar* log) {
    Proc<PFNGLGETSHADERINFOLOGPROC>("glGetShaderInfoLog")(shader, size, length, log);
}
inline void GetProgramiv(GLuint program, GLenum name, GLint* value) {
    Proc<PFNGLGETPROGRAMIVPROC>("glGetProgramiv")(program, name, value);
}
inline void GetProgramInfoLog(GLuint program, GLsizei size, GLsizei* length, GLchar* log) {
    Proc<PFNGLGETPROGRAMINFOLOGPROC>("glGetProgramInfoLog")(program, size, length, log);
}

// Framebuffers, buffers, vertex arrays and blending beyond OpenGL 1.1: what a scene that draws in several
// passes needs (OpenGL 3.0, OpenGL ES 3.0).
inline void GenFramebuffers(GLsizei count, GLuint* names) {
    Proc<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers")(count, names);
}
inline void BindFramebuffer(GLenum target, GLuint framebuffer) {
    Proc<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer")(target, framebuffer);
}
inline void FramebufferTexture2D(GLenum target, GLenum attachment, GLenum textarget, GLuint texture,
                                 GLint level) {
    Proc<PFNGLFRAMEBUFFERTEXTURE2DPROC>("glFramebufferTexture2D")(target, attachment, textarget, texture,
                                                                  level);
}
inline GLenum CheckFramebufferStatus(GLenum target) {
    return Proc<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus")(target);
}
inline void GenBuffers(GLsizei count, GLuint* names) {
    Proc<PFNGLGENBUFFERSPROC>("glGenBuffers")(count, names);
}
inline void BindBuffer(GLenum target, GLuint buffer) {
    Proc<PFNGLBINDBUFFERPROC>("glBindBuffer")(target, buffer);
}
inline void BufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage) {
    Proc<PFNGLBUFFERDATAPROC>("glBufferData")(target, size, data, usage);
}
inline void GenVertexArrays(GLsizei count, GLuint* names) {
    Proc<PFNGLGENVERTEXARRAYSPROC>("glGenVertexArrays")(count, names);
}
inline void BindVertexArray(GLuint array) {
    Proc<PFNGLBINDVERTEXARRAYPROC>("glBindVertexArray")(array);
}
inline GLint GetAttribLocation(GLuint program, const char* name) {
    return Proc<PFNGLGETATTRIBLOCATIONPROC>("glGetAttribLocation")(program, name);
}
inline void VertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                                const void* offset) {
    Proc<PFNGLVERTEXATTRIBPOINTERPROC>("glVertexAttribPointer")(index, size, type, normalized, stride,
                                                                offset);
}
inline void EnableVertexAttribArray(GLuint index) {
    Proc<PFNGLENABLEVERTEXATTRIBARRAYPROC>("glEnableVertexAttribArray")(index);
}
inline void Uniform1i(GLint location, GLint x) {
    Proc<PFNGLUNIFORM1IPROC>("glUniform1i")(location, x);
}
inline void ActiveTexture(GLenum unit) {
    Proc<PFNGLACTIVETEXTUREPROC>("glActiveTexture")(unit);
}
inline void BlendFuncSeparate(GLenum srcRGB, GLenum dstRGB, GLenum srcAlpha, GLenum dstAlpha) {
    Proc<PFNGLBLENDFUNCSEPARATEPROC>("glBlendFuncSeparate")(srcRGB, dstRGB, srcAlpha, dstAlpha);
}
inline void BlendEquationSeparate(GLenum rgb, GLenum alpha) {
    Proc<PFNGLBLENDEQUATIONSEPARATEPROC>("glBlendEquationSeparate")(rgb, alpha);
}

// Queries (OpenGL 1.5, OpenGL ES 3.0): the GPU's time for a span of commands where the context has a timer.
inline void GenQueries(GLsizei count, GLuint* names) {
    Proc<PFNGLGENQUERIESPROC>("glGenQueries")(count, names);
}
inline void BeginQuery(GLenum target, GLuint query) {
    Proc<PFNGLBEGINQUERYPROC>("glBeginQuery")(target, query);
}
inline void EndQuery(GLenum target) {
    Proc<PFNGLENDQUERYPROC>("glEndQuery")(target);
}
inline void GetQueryObjectuiv(GLuint query, GLenum name, GLuint* value) {
    Proc<PFNGLGETQUERYOBJECTUIVPROC>("glGetQueryObjectuiv")(query, name, value);
}

}  // namespace gl
