# Writes a C++ source that holds each shader text as a character array.
# -D OUTPUT=<file.cpp> -D TEXTS="Name=a.frag|Name2=b.vert|..." -D DIR=<folder of the texts>
# A line `#include "file"` in a text is replaced by that file of the folder. Each file's own final line
# break is dropped, so a one-line file becomes exactly its line.
# With -D DIALECT=es the complete texts (those with a main()) are translated for WebGL 2 (cmake/glsl_es.cmake),
# and with -D ES_FILES=<folder> each translated text is also written there as Name.vert or Name.frag.
function(read_text file result)
    file(READ "${DIR}/${file}" text)
    string(REGEX REPLACE "\n$" "" text "${text}")
    while(text MATCHES "(^|\n)#include \"([^\"]+)\"")
        set(line "#include \"${CMAKE_MATCH_2}\"")
        read_text("${CMAKE_MATCH_2}" included)
        string(REPLACE "${line}" "${included}" text "${text}")
    endwhile()
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

set(out "// Generated from the shader files at build time.\n#include \"shaders/shader_texts.h\"\n\nnamespace shader_text {\n")
string(REPLACE "|" ";" texts "${TEXTS}")
foreach(entry IN LISTS texts)
    string(REGEX MATCH "^([A-Za-z0-9_]+)=(.*)$" _ "${entry}")
    set(name "${CMAKE_MATCH_1}")
    read_text("${CMAKE_MATCH_2}" text)
    # A text with no main() is a part that others include: it stays as written, and is checked within them.
    if(DIALECT STREQUAL "es" AND text MATCHES "void main")
        include("${CMAKE_CURRENT_LIST_DIR}/../cmake/glsl_es.cmake")
        glsl_es_text("${name}" "${text}" text)
        if(ES_FILES)
            set(suffix frag)
            if(name STREQUAL "Vertex")
                set(suffix vert)
            endif()
            file(WRITE "${ES_FILES}/${name}.${suffix}" "${text}\n")
        endif()
    endif()
    string(APPEND out "extern const char ${name}[] = R\"glsl(${text})glsl\";\n")
endforeach()
string(APPEND out "\n}  // namespace shader_text\n")
file(WRITE "${OUTPUT}.tmp" "${out}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
