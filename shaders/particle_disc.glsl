// Scene2's particles, shared by every way of drawing them: the view, the background and one particle's disc.

// The view direction of the pixel at `fragCoord`: the width spans -0.5 to 0.5 at unit depth (the height is
// divided by the width too), turned sideways by `shift` and tilted down by 0.1.
vec3 particleView(vec2 fragCoord, vec2 resolution, float shift) {
    return normalize(vec3((fragCoord.x - resolution.x * 0.5) / resolution.x + shift,
                          (fragCoord.y - resolution.y * 0.5) / resolution.x - 0.1, 1.0));
}

// From black at the bottom edge to (0.1, 0.15, 0.2) at the top.
vec3 particleBackground(float fragY, float height) {
    return vec3(0.1, 0.15, 0.2) * fragY / height;
}

// A disc of radius 1 around a particle centre, measured across the view line, its edge 2 / gap wide for a
// centre `gap` deeper than the camera: nearer particles get wider, softer edges. For a view line whose nearest
// approach to the centre is `diff` (dist2 its squared length), w is the share of what lies behind that still
// shows through (invalpha: 0 inside the disc, 1 beyond its edge) and xyz the particle's own light:
// `lightColor` times dist^3, times the side of the disc that `lightLift` turns to the light, times its opacity.
vec4 particleDisc(vec3 diff, float dist2, float gap, vec3 lightColor, float lightLift) {
    float dist = sqrt(dist2);
    float dofdist = clamp((dist - 1.0) * gap * 0.5, -1.0, 1.0);
    float inner = 1.0 - abs(dofdist);
    float invalpha = sign(dofdist) * (1.0 - inner * sqrt(inner)) * 0.5 + 0.5;
    vec3 lit = diff + vec3(0.0, 0.0, lightLift);
    return vec4(lightColor * (dist2 * dist * (lit.x + lit.y + lit.z) * inversesqrt(dot(lit, lit)) * (1.0 - invalpha)),
                invalpha);
}
