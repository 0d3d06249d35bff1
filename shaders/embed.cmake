# Writes a C++ source that holds each shader text as a character array.
# -D OUTPUT=<file.cpp> -D TEXTS="Name=a.frag|Name2=b.vert|..." -D DIR=<folder of the texts>
# A line `#include "file"` in a text is replaced by that file of the folder. Each file's own final line
# break is dropped, so a one-line file becomes exactly its line.
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
    read_text("${CMAKE_MATCH_2}" text)
    string(APPEND out "extern const char ${CMAKE_MATCH_1}[] = R\"glsl(${text})glsl\";\n")
endforeach()
string(APPEND out "\n}  // namespace shader_text\n")
file(WRITE "${OUTPUT}.tmp" "${out}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
