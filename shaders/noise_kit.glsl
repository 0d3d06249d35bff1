// Simplex noise kit: rotating-gradient simplex noise with its analytic gradient, and the noise layer built
// from three octaves of it. Scene5, Scene5_1 and Scene6 begin with this text word for word; each passes
// its own angle offsets to noiseLayer.
uniform float time;
uniform vec2 resolution;

const float F2 = 0.366025403;   // skew from the plane to the simplex grid, (sqrt(3) - 1)/2
const float G2 = 0.211324865;   // unskew back to the plane, (3 - sqrt(3))/6
const float K = 0.0243902439;   // 1/41: spacing of the gradient positions along the diamond

// The lens point follows the music time alone. acos is defined only on [-1, 1]; the argument is clamped
// there so that every time above 0 gives 0 on every driver, the value it has at time 0. A macro rather than
// a global initialised from a uniform, which GLSL ES does not allow.
#define mouse vec2(sin(time / 13.0), acos(clamp(1.0 + time / 7.0, -1.0, 1.0)))

// Hash of a whole number into 0 ... 288.
float permute(float x) {
    return mod((34.0 * x + 1.0) * x, 289.0);
}

// Gradient of a lattice corner: a point on the diamond |x| + |y| = 1, moved along it by rot (1 is a full
// circuit).
vec2 grad2(vec2 p, float rot) {
    float u = permute(permute(p.x) + p.y) * K + rot;
    u = 4.0 * fract(u) - 2.0;
    return vec2(abs(u) - 1.0, abs(abs(u + 1.0) - 2.0) - 1.0);
}

// Simplex noise at P with corner gradients turned by rot; writes the exact gradient of the value into grad.
float srdnoise(in vec2 P, in float rot, out vec2 grad) {
    float s = dot(P, vec2(F2, F2));
    vec2 Ps = P + s;
    vec2 Pi = floor(Ps);
    vec2 P0 = Pi - dot(Pi, vec2(G2, G2));
    vec2 v0 = P - P0;
    vec2 i1 = (v0.x > v0.y) ? vec2(1.0, 0.0) : vec2(0.0, 1.0);
    vec2 v1 = v0 - i1 + G2;
    vec2 v2 = v0 - 1.0 + 2.0 * G2;
    // Only the gradients see the wrapped cell; the offsets above come from the unwrapped one.
    Pi = mod(Pi, 289.0);
    vec3 t = max(0.5 - vec3(dot(v0, v0), dot(v1, v1), dot(v2, v2)), 0.0);
    vec3 t2 = t * t;
    vec3 t4 = t2 * t2;
    vec2 q0 = grad2(Pi, rot);
    vec2 q1 = grad2(Pi + i1, rot);
    vec2 q2 = grad2(Pi + 1.0, rot);
    vec3 r = vec3(dot(q0, v0), dot(q1, v1), dot(q2, v2));
    float n = 40.0 * dot(t4, r);
    vec3 t3r = t2 * t * r;
    grad = 40.0 * (-8.0 * (t3r.x * v0 + t3r.y * v1 + t3r.z * v2) + t4.x * q0 + t4.y * q1 + t4.z * q2);
    return n;
}

// Complex product: x is the real part, y the imaginary part.
vec2 complex_mul(vec2 a, vec2 b) {
    return vec2(a.x * b.x - a.y * b.y, a.x * b.y + a.y * b.x);
}

// Soft step from -1 to 1, 0 at 0.
float sigmoid(float x) {
    return 2.0 / (1.0 + exp2(-x)) - 1.0;
}

// Soft mask of the disc of the given radius around (0.5, 0.5): 1 inside, 0.5 on the rim, 0 outside.
float smoothcircle(vec2 uv, float radius, float sharpness) {
    return 0.5 - 0.5 * sigmoid((length(uv - vec2(0.5, 0.5)) - radius) * sharpness);
}

// Grey value of this pixel: three octaves of noise over a plane turned towards the lens point, scaled six
// times more densely inside the lens disc. angleOffset shifts the turning angle of the sine (x) and of the
// cosine (y).
float noiseLayer(vec2 angleOffset) {
    vec2 aspect = vec2(1.0, resolution.y / resolution.x);
    vec2 uv = 0.5 + (gl_FragCoord.xy * vec2(1.0 / resolution.x, 1.0 / resolution.y) - 0.5) * aspect;
    float mouseW = atan((mouse.y - 0.5) * aspect.y, (mouse.x - 0.5) * aspect.x);
    vec2 mousePolar = vec2(sin(mouseW + angleOffset.x), cos(mouseW + angleOffset.y));
    vec2 offset = -complex_mul((mouse - 0.5) * 4.0, mousePolar);
    float lens = smoothcircle(uv - mouse + 0.5, 0.15, 64.0);
    vec2 p = complex_mul((uv - 0.5) * mix(2.0, 12.0, lens), mousePolar) + offset;
    vec2 g1 = vec2(0.0, 0.0);
    vec2 g2 = vec2(0.0, 0.0);
    vec2 g3;  // the finest octave's gradient is not used
    float n1 = srdnoise(0.5 * p, 0.2 * time, g1);
    float n2 = srdnoise(2.0 * p + 0.5 * g1, 0.51 * time, g2);
    float n3 = srdnoise(4.0 * p + 0.5 * g1 + 0.25 * g2, 0.77 * time, g3);
    return n1 + 0.9 * n2 + 0.5 * n3;
}
