#include "noise_kit.glsl"
// Thin bright bands of an averaged fractal iteration, darkened where the noise layer is bright. Scene5 and
// Scene5_1 differ only in the start point of the iteration.
uniform vec3 val;

const int max_iteration = 24;
const vec2 c = vec2(-0.5, -0.1);
const vec2 R = vec2(0.97, 0.0);

// Squared length (not the length).
float cabs(vec2 c) {
    return c.x * c.x + c.y * c.y;
}

vec2 cmul(vec2 c1, vec2 c2) {
    return vec2(c1.x * c2.x - c1.y * c2.y, c1.x * c2.y + c1.y * c2.x);
}

vec4 bCol() {
    float n = noiseLayer(vec2(0.0, 0.0));
    return vec4(n, n, n, 1.0);
}

vec4 fCol() {
    vec2 z = vec2((gl_FragCoord.x / resolution.x + 0.1 + val.x / 32.0) * 0.7,
                  (gl_FragCoord.y / resolution.y + 1.5 + val.y / 32.0) * 0.7);
    float color = 0.0;
    for (int i = 0; i < max_iteration; i++) {
        vec2 zold = z;
        float m = cabs(z);
        // Where a divisor is zero the fractal layer is 0 on every driver.
        if (m == 0.0) return vec4(0.0, 0.0, 0.0, 1.0);
        z = abs(cmul(z, R)) / m + c;
        color += exp(-cabs(z));
        float jump = cabs(zold - z);
        if (jump == 0.0) return vec4(0.0, 0.0, 0.0, 1.0);
        color -= exp(-1.0 / jump);
    }
    color /= float(max_iteration);
    // A negative sine has no real 10.5th power: it counts as 0, so those pixels are black.
    float s = sin(pow(color + 0.9, 8.0) + min(time * time * 0.1, 100.0) - val.x + val.z * 4.0);
    color = pow(max(s, 0.0), 10.5);
    return vec4(color * (1.0 - val.x / 16.0), color * (1.0 - val.y / 32.0), color * (1.0 - val.z / 64.0), 1.0);
}

void main(void) {
    vec4 b = clamp(bCol(), 0.0, 1.0);
    vec4 f = clamp(fCol(), 0.0, 1.0);
    gl_FragColor = f * (1.0 - b) + (1.0 - f) * b * f;
}
