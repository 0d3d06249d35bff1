#!/usr/bin/env bash
# Every shader text as the browser build embeds it (GLSL ES 3.00), checked by the reference compiler:
#   validate_es.sh DIR SCENE...    DIR holds the translated texts, Name.vert and Name.frag; each SCENE of the
#                                  scene list must have its fragment text there
set -euo pipefail
dir=$1
shift
shopt -s nullglob
texts=("$dir"/*.vert "$dir"/*.frag)
# The vertex shader, every scene, the gentle pass and the upscale pass (the parts they include are checked
# within them).
missing=0
for scene in "$@"; do
    [ -f "$dir/$scene.frag" ] || { echo "$dir: no translated text of $scene" >&2; missing=1; }
done
if [ $missing -ne 0 ] || [ ${#texts[@]} -ne $(($# + 3)) ]; then
    echo "expected the vertex shader, the gentle and upscale passes and $# scenes' texts in $dir, found ${#texts[@]} texts" >&2
    exit 1
fi
failed=0
for text in "${texts[@]}"; do
    head -n1 "$text" | grep -qx '#version 300 es' || { echo "$text: no GLSL ES 3.00 version line" >&2; failed=1; }
    if ! log=$(glslangValidator "$text" 2>&1); then
        echo "$log" >&2
        failed=1
    fi
done
[ $failed -eq 0 ] && echo "${#texts[@]} texts accepted as GLSL ES 3.00"
exit $failed
