// A landscape seen from a camera circling above it. The ground is a height field over the x-y plane: a
// quadratic map with a running derivative is iterated at each point, and its distance estimate to the
// fractal set, saturated at cutoff, is the ground height. Each ray is traced down to that ground; the height
// at the hit sets a base colour and the number of trace steps adds a tinted glow.
uniform float time;
uniform float scenetime;
uniform vec2 resolution;
uniform vec3 val;

const int MAXITER = 20;
const int MAXTRACE = 100;
const float amplify = 1.5;
const float cutoff = 0.1;

// Distance estimate at the point p.xy with derivative p.zw, for the map constant k (k.z = k.w = 0).
float iter(vec4 p, vec4 k) {
    for (int i = 0; i < MAXITER; i++) {
        // Four sub-steps, each computing all four components from the old ones at once.
        p = p * p.x * vec4(1.0, 1.0, 2.0, 1.0) + p.yxwz * p.y * vec4(-1.0, 1.0, -2.0, 1.0) + k;
        p = p * p.x * vec4(1.0, 1.0, 2.0, 2.0) + p.yxwz * p.y * vec4(-1.0, 1.0, 2.0, 2.0) + k;
        p = p * p.x * vec4(1.0, 1.0, 2.0, 2.0) + p.yxwz * p.y * vec4(-1.0, 3.0, -2.0, 2.0) + k;
        p = p * p.x * vec4(1.0, 1.0, 2.0, 1.0) + p.yxwz * p.y * vec4(-1.0, 1.0, -2.0, 1.0) + k;
        if (dot(p.xy, p.xy) > 64.0) break;
    }
    float l = length(p.xy);
    float dl = length(p.zw);
    if (l < 4.0) return 0.0;
    // Where the quotient is no finite number it takes its limit. A collapsed derivative (a start at the
    // origin, say) gives a height so large that the ground saturates at its full height, cutoff; so does a
    // state that left the float range, which only a trace point hundreds of units out reaches, where the
    // estimate is in the hundreds. A derivative that left the float range on a finite state gives 0.
    if (l < 3.9e36) {  // l log(l) stays finite
        if (dl == 0.0) return 1e30;
        if (dl < 3.4e38) return l * log(l) / dl;
        return 0.0;
    }
    return 1e30;
}

void main( void ) {
    vec2 n = (gl_FragCoord.xy - 0.5 * resolution) / resolution.x;
    vec2 CONSTANT = vec2(-0.835 + 0.02 * val.x, -0.2321 + 0.02 * val.y);
    vec4 k = vec4(CONSTANT.x, CONSTANT.y, 0.0, 0.0);

    float t = 0.3 * time;
    vec3 pos = vec3(0.9 * cos(t + 0.5 * val.x), 0.9001 * sin(t), 0.5 - 0.05 * cos(2.0 * t)) - vec3(-0.2, 0.0, 0.1);
    vec3 dir = normalize(-pos * vec3(1.0, 1.0, 0.7) + vec3(0.2, 0.0, -0.1));
    // Looking straight down there is no side direction: a vertical dir takes right = (1, 0, 0).
    vec3 side = cross(dir, vec3(0.0, 0.0, 1.0));
    vec3 right = dot(side, side) > 0.0 ? normalize(side) : vec3(1.0, 0.0, 0.0);
    vec3 up = cross(dir, right);
    vec3 ray = normalize(dir + right * n.x - up * n.y);

    // A vertical ray, or one climbing at ray.z = 1.5 length(ray.xy), has no finite step factor: it takes 0,
    // so the ray stays where it is and ends with steps = 100.
    float horizontal = length(ray.xy);
    float slope = horizontal > 0.0 ? amplify - ray.z / horizontal : 0.0;
    float factor = slope != 0.0 ? 1.0 / slope : 0.0;

    float m = 0.0;
    float md = 0.0;
    float steps = float(MAXTRACE);
    for (int i = 0; i < MAXTRACE; i++) {
        m = iter(vec4(pos.x, pos.y, 1.0, 0.0), k) * amplify;
        m = (1.0 - 1.0 / (1.0 + m / cutoff)) * cutoff;
        md = pos.z - m;
        if (md < 1e-4) {
            steps = float(i);
            break;
        }
        pos = pos + ray * md * factor;
    }

    vec3 cb = vec3(0.01 + 0.01 * val.x, 0.01 + 0.01 * val.y, 0.01 + 0.01 * val.z);
    vec3 color = cb / (cb + sqrt(m));
    float g = 1.0 - sqrt((100.0 - steps) / 100.0);
    gl_FragColor = vec4(color.r + (1.0 + val.z) * g, color.g + (1.0 + 0.5 * val.y) * g, color.b + (1.0 + val.x) * g, 1.0);
}
