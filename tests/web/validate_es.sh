#!/usr/bin/env bash
# Every shader text as the browser build embeds it (GLSL ES 3.00), checked by the reference compiler:
#   validate_es.sh DIR    DIR holds the translated texts, Name.vert and Name.frag
set -euo pipefail
dir=$1
shopt -s nullglob
texts=("$dir"/*.vert "$dir"/*.frag)
# The vertex shader, the twelve scenes and the gentle pass (the parts they include are checked within them).
if [ ${#texts[@]} -ne 14 ]; then
    echo "expected 14 translated texts in $dir, found ${#texts[@]}" >&2
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
