// A fold-and-invert map of the plane, z <- (0.97 |z.x|, 0.97 |z.y|) / |z|^2 + c, averaged over its orbit and
// turned into narrow bright bands by a high power of a sine. The number of passes grows with the bars played.
uniform float time;
uniform float scenetime;
uniform vec2 resolution;
uniform vec3 val;

// The squared modulus, not the modulus.
float cabs(vec2 c) {
    return dot(c, c);
}

vec2 cmul(vec2 c1, vec2 c2) {
    return vec2(c1.x * c2.x - c1.y * c2.y, c1.x * c2.y + c1.y * c2.x);
}

void main( void ) {
    // Four passes a bar played, less 4, at most 32; the same for every pixel of a frame.
    int max_iteration = 4 * int(time / scenetime) - 4;
    if (max_iteration > 32) max_iteration = 32;

    vec2 c = vec2(-0.5, -0.1);
    vec2 R = vec2(0.97, 0.0);
    vec2 z = vec2(gl_FragCoord.x / resolution.x - 0.5 + val.x / 64.0,
                  gl_FragCoord.y / resolution.y + 0.4 + val.y / 64.0) * 1.1;
    float color = 0.0;
    for (int i = 0; i < 32; i++) {
        if (i >= max_iteration) break;
        vec2 zold = z;
        float m = cabs(z);
        z = abs(cmul(z, R)) / m + c;
        // Two equal successive points give the jump term's limit, 0.
        float jump = cabs(zold - z);
        color = color + exp(-cabs(z)) - (jump > 0.0 ? exp(-1.0 / jump) : 0.0);
    }
    // With no pass run (before the third bar) the average is 0 rather than a division by zero.
    color = max_iteration > 0 ? color / float(max_iteration) : 0.0;

    // Where the sine is negative the band is dark: the power and the root are taken of max(sine, 0).
    float s = sin(pow(color + 0.9, 8.0) + min(time * time * 0.1, 100.0) - val.x + val.z * 4.0);
    color = pow(max(s, 0.0), 10.5);
    color = sqrt(color);

    gl_FragColor = vec4(color * (1.0 - val.x / 4.0), color * (1.0 - val.y / 24.0), color * (1.0 - val.z / 64.0), 1.0);
}
