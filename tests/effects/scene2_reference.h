// The particle field as the show first drew it, one plain pass per particle and pixel: the picture every
// faster way of drawing Scene2 must keep.
#pragma once

inline constexpr char kScene2Reference[] =
    R"glsl(// Scene2: a field of 15 x 15 soft-edged particle discs seen from a swaying camera, over a dark blue gradient.
uniform float time;
uniform vec2 resolution;
uniform vec3 val;
uniform float scenetime;

void main(void) {
    vec3 pos = vec3(val.x / 2.0, 3.0 + val.y / 4.0, -25.0) + sin(val.z + time);
    vec3 dir = normalize(vec3((gl_FragCoord.x - resolution.x * 0.5) / resolution.x + min(-0.5 + time / 100.0, 0.0),
                              (gl_FragCoord.y - resolution.y * 0.5) / resolution.x - 0.1, 1.0));
    vec3 color = vec3(0.1, 0.15, 0.2) * gl_FragCoord.y / resolution.y;

    // No depth test: rows are painted from far (y = 7) to near, each particle over what lies behind it.
    for (float y = 7.0; y >= -7.0; y -= 1.0) {
        for (float x = -7.0; x <= 7.0; x += 1.0) {
            vec3 s;
            if (time < scenetime * 4.0) {
                // Heights on a tangent: particles shoot off through its poles and come back.
                s = vec3(x + sin(time + y * 0.7) * 4.0, tan(time + x * 0.5 + y * 0.5) * 2.0,
                         y + cos(time - x * 0.7) * 4.0);
            } else if (time < scenetime * 7.8) {
                s = vec3(x + sin(time * 2.0 + y * 0.7 - val.x / 4.0) * 4.0,
                         tan(time + x * 0.5 + y * 0.5 - val.y / 12.0), y + cos(time * 2.0 - x * 0.7) * 4.0);
            } else {
                // A wave whose height the music raises: flat when it is quiet.
                s = vec3(x + sin(time - val.x + y * 0.7),
                         sin(time - val.y + x * 0.5 + y * 0.5) * 24.0 * val.y * val.z,
                         y + sin(time - val.z - x * 0.7) * 8.0);
            }

            // Nearest approach of the whole view line to the particle centre.
            float t = dot(s - pos, dir);
            vec3 diff = pos + t * dir - s;
            float dist = length(diff);

            // A disc of radius 1 across the view line; nearer particles get wider, softer edges.
            float dof = abs(1.0 / (pos.z - s.z) - 0.2 + 0.2) * 2.0;
            float dofdist = clamp((dist - 1.0) / dof, -1.0, 1.0);
            dofdist = sign(dofdist) * (1.0 - pow(1.0 - abs(dofdist), 1.5));
            float invalpha = dofdist * 0.5 + 0.5;

            // 1 - invalpha is the particle's opacity; what lies behind is dimmed at every pass.
            if (time < scenetime * 13.0) {
                // Grey particles lit by the third level.
                color = color * invalpha * 0.995 +
                        vec3(0.1, 0.1, 0.1) * pow(dist, 3.0) * 3.0 *
                            dot(normalize(diff + vec3(0.0, 0.0, 3.0)), vec3(1.0, 1.0, 1.0)) * (1.0 - invalpha) *
                            (0.5 + val.z * 16.0);
            } else {
                // Each channel lit by one level, and a faint tint added at every pass.
                color = color * invalpha * 0.995 +
                        vec3(0.1, 0.15, 0.2) * pow(dist, 3.0) *
                            dot(normalize(diff + vec3(0.0, 0.0, 6.0)), vec3(1.0, 1.0, 1.0)) * (1.0 - invalpha) *
                            val * 8.0 +
                        sin(val.zyx) * 5.0 * time / 1000000.0;
            }
        }
    }
    gl_FragColor = vec4(color.x, color.y, color.z, 1.0);
}
)glsl";
