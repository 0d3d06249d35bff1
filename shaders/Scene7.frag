// Scene7: a grey flight along +z through space folded into unit cells of thin beams, marched a fixed number
// of steps while a glow sum gathers the inverse of the beam field.
uniform float time;
uniform float scenetime;
uniform vec3 val;
uniform vec2 resolution;

const int MAXITER = 90;
const int MAXITER_SQR = MAXITER * MAXITER;

// The squares of the three beam components at p, before their root.
vec3 fieldSquares(vec3 p) {
    vec3 q = abs(fract(p) - 0.5) + 0.01 * val.x;
    q = q * (q + 0.01 * val.y);
    return vec3(q.x + q.y * q.z + 0.001 * val.z, q.y + q.z * q.z + 0.001 * val.z, q.z + q.x * q.y + 0.001 * val.z);
}

// Three beam components at p: negative inside the beams along the axes through each cell centre. Every
// spectrum level raises all three and thins the beams.
vec3 field(vec3 p) {
    return sqrt(fieldSquares(p)) - 0.015;
}

void main(void) {
    vec3 dir = normalize(vec3((gl_FragCoord.x - 0.5 * resolution.x) / resolution.x,
                              (gl_FragCoord.y - 0.5 * resolution.y) / resolution.x, 0.5));
    float z0 = min(time * sqrt(time * 0.1), 1000.0);
    vec3 pos;
    if (time < scenetime * 8.0) {
        pos = vec3(0.0, 0.0, z0);
    } else {
        // From the ninth bar on, loud frames pull the camera back along its path.
        pos = vec3(0.0, 0.0, z0 - val.x - val.y - val.z);
    }

    vec3 color = vec3(0.0, 0.0, 0.0);
    for (int i = 0; i < MAXITER; i++) {
        vec3 squares = fieldSquares(pos);
        vec3 f2 = sqrt(squares) - 0.015;
        float d = length(mod(pos - vec3(0.5, 0.5, 0.2), 1.0) - 0.5);
        // The root keeps the order, so the smallest component is the root of the smallest square: one root
        // for the step besides the one of the third component, the only one the glow shows.
        float f = min(sqrt(min(min(squares.x, squares.y), squares.z)) - 0.015, d);
        pos = pos + dir * f;
        // Next to a zero divisor the glow term grows without bound and the pixel is black; an exactly zero
        // divisor stands in as 1e-30, a glow far past black, so the pixel is black too on every driver.
        vec3 divisor = f2 + 1e-5;
        divisor += vec3(equal(divisor, vec3(0.0, 0.0, 0.0))) * 1e-30;
        color = color + float(MAXITER - i) / divisor;
    }

    // Next to a zero denominator the value grows without bound and the pixel is white; an exactly zero
    // denominator stands in as 1e-6, far past white, so the pixel is white too on every driver.
    vec3 denominator = 1.0 + color * (0.5 / float(MAXITER_SQR));
    denominator += vec3(equal(denominator, vec3(0.0, 0.0, 0.0))) * 1e-6;
    vec3 color3 = -1.0 / denominator;
    color3 = color3 * color3 * 1.5;
    gl_FragColor = vec4(vec3(color3.b + color3.b), 1.0);
}
