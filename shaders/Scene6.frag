#include "noise_kit.glsl"
// The noise layer alone, doubled and unclamped, as a grey picture. The first two spectrum levels enter its
// turning angle, so the noise plane turns (and, when they differ, stretches) with the music.
uniform vec3 val;

void main( void ) {
    float n = noiseLayer(vec2(val.x, val.y));
    gl_FragColor = vec4(2.0 * n, 2.0 * n, 2.0 * n, 1.0);
}
