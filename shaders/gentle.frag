// The gentle mode's limit on flashing: each pixel moves from the picture shown last towards the scene's new
// picture by at most `limit` of relative luminance and `redLimit` of red's measure (R - G - B where it is
// above 0), both in linear light.
uniform sampler2D scene;
uniform sampler2D shown;
uniform vec2 resolution;
uniform float limit;
uniform float redLimit;

vec3 toLinear(vec3 c) {
    return mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), step(vec3(0.04045), c));
}

vec3 toDisplay(vec3 c) {
    return mix(c * 12.92, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, step(vec3(0.0031308), c));
}

void main(void) {
    vec2 at = gl_FragCoord.xy / resolution;
    vec3 before = toLinear(texture2D(shown, at).rgb);
    vec3 now = toLinear(texture2D(scene, at).rgb);
    vec3 change = now - before;
    float luminance = abs(dot(change, vec3(0.2126, 0.7152, 0.0722)));
    // Red's measure is max(R - G - B, 0): it changes only where either end has some.
    float reddest = max(before.r - before.g - before.b, now.r - now.g - now.b);
    float red = reddest > 0.0 ? abs(change.r - change.g - change.b) : 0.0;
    float share = min(1.0, min(limit / max(luminance, 1e-6), redLimit / max(red, 1e-6)));
    gl_FragColor = vec4(toDisplay(max(before + share * change, 0.0)), 1.0);
}
