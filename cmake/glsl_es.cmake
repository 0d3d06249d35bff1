# The shader texts for WebGL 2: each GLSL 1.10 text turned into GLSL ES 3.00 mechanically. The sources are
# written so that both dialects accept the same body; only the frame of the text changes:
#   - a version line and high precision for floats and ints;
#   - a fragment shader writes `fragColor`, an `out` of its own, instead of gl_FragColor, and samples with
#     texture() instead of texture2D();
#   - the vertex shader reads its position from attribute 0, `vertexPosition`, instead of gl_Vertex.
function(glsl_es_text name text out_var)
    if(name STREQUAL "Vertex")
        string(REPLACE "gl_Vertex" "vertexPosition" body "${text}")
        set(head "#version 300 es\nlayout(location = 0) in vec4 vertexPosition;\n")
    else()
        string(REPLACE "gl_FragColor" "fragColor" body "${text}")
        string(REPLACE "texture2D(" "texture(" body "${body}")
        set(head "#version 300 es\nprecision highp float;\nprecision highp int;\nout vec4 fragColor;\n")
    endif()
    set(${out_var} "${head}${body}" PARENT_SCOPE)
endfunction()
