#include "particle_disc.glsl"
// Scene2: a field of 15 x 15 soft-edged particle discs seen from a swaying camera, over a dark blue gradient.
uniform float time;
uniform vec2 resolution;
uniform vec3 val;
uniform float scenetime;

// One step of the angle a particle's position follows along a row (0.5 rad on the diagonal term) and along
// a column (-0.7 rad): the angles are stepped by these rotations instead of calling sin and cos each pass.
const vec2 DIAGONAL_STEP = vec2(0.87758255, 0.47942554);  // cos, sin of 0.5
const vec2 COLUMN_STEP = vec2(0.76484219, -0.64421769);   // cos, sin of -0.7

// Each pass keeps 0.995 of the colour behind it: 1 / 0.995, and what 225 passes keep, 0.995^225.
const float UNDIMMING = 1.0050251;
const float DIMMED = 0.32373797;

vec2 rotated(vec2 v, vec2 step) {
    return vec2(v.x * step.x - v.y * step.y, v.x * step.y + v.y * step.x);
}

void main(void) {
    vec3 pos = vec3(val.x / 2.0, 3.0 + val.y / 4.0, -25.0) + sin(val.z + time);
    vec3 dir = particleView(gl_FragCoord.xy, resolution, min(-0.5 + time / 100.0, 0.0));
    vec3 color = particleBackground(gl_FragCoord.y, resolution.y);

    // The particle at (x, y) lies at (x + across * sin(acrossPhase + 0.7 y), height * h(heightPhase + 0.5 (x + y)),
    // y + the depth weights applied to (cos, sin)(depthPhase - 0.7 x)), where h is the tangent under the first
    // two position rules and the sine under the third.
    float acrossPhase, across, heightPhase, height, depthPhase, tangent;
    vec2 depth;
    if (time < scenetime * 4.0) {
        // Heights on a tangent: particles shoot off through its poles and come back.
        acrossPhase = time;
        across = 4.0;
        heightPhase = time;
        height = 2.0;
        depthPhase = time;
        depth = vec2(4.0, 0.0);
        tangent = 1.0;
    } else if (time < scenetime * 7.8) {
        acrossPhase = time * 2.0 - val.x / 4.0;
        across = 4.0;
        heightPhase = time - val.y / 12.0;
        height = 1.0;
        depthPhase = time * 2.0;
        depth = vec2(4.0, 0.0);
        tangent = 1.0;
    } else {
        // A wave whose height the music raises: flat when it is quiet.
        acrossPhase = time - val.x;
        across = 1.0;
        heightPhase = time - val.y;
        height = 24.0 * val.y * val.z;
        depthPhase = time - val.z;
        depth = vec2(0.0, 8.0);
        tangent = 0.0;
    }

    // 1 - invalpha is a particle's opacity and light its own colour; what lies behind is dimmed at every pass,
    // and under the second colour rule a faint tint is added at every pass (none under the first).
    vec3 lightColor, tint;
    float lightLift;
    if (time < scenetime * 13.0) {
        // Grey particles lit by the third level.
        lightColor = vec3(0.1, 0.1, 0.1) * 3.0 * (0.5 + val.z * 16.0);
        lightLift = 3.0;
        tint = vec3(0.0);
    } else {
        // Each channel lit by one level.
        lightColor = vec3(0.1, 0.15, 0.2) * val * 8.0;
        lightLift = 6.0;
        tint = sin(val.zyx) * 5.0 * time / 1000000.0;
    }
    vec2 depthStart = vec2(cos(depthPhase + 4.9), sin(depthPhase + 4.9));

    // Under the third position rule a row's particles lie within `height` above or below the plane y = 0 and
    // within 8 of the row in depth. A view line that stays farther from that slab than a disc reaches (at most
    // 1 + 2 / 9) over all the row's depths misses every particle of the row.
    bool wave = tangent == 0.0;
    float slope = dir.y / dir.z, slab = abs(height) + 1.25;

    float undimmed = 1.0, tintBefore = 0.0;
    // No depth test: rows are painted from far (y = 7) to near, each particle over what lies behind it.
    for (int row = 0; row < 15; row++) {
        float y = 7.0 - float(row);
        float nearHeight = pos.y + (y - 9.25 - pos.z) * slope, farHeight = nearHeight + 18.5 * slope;
        if (wave && (min(nearHeight, farHeight) > slab || max(nearHeight, farHeight) < -slab)) {
            for (int i = 0; i < 15; i++) {
                undimmed *= UNDIMMING;
                tintBefore += undimmed;
            }
            continue;
        }
        float rowX = sin(acrossPhase + y * 0.7) * across;
        float diagonalAngle = heightPhase + (y - 7.0) * 0.5;
        vec2 diagonal = vec2(cos(diagonalAngle), sin(diagonalAngle));
        vec2 column = depthStart;
        for (int i = 0; i < 15; i++) {
            float x = float(i) - 7.0;
            float h = tangent > 0.0 ? diagonal.y / diagonal.x : diagonal.y;
            vec3 s = vec3(x + rowX, h * height, y + dot(column, depth));

            // Nearest approach of the whole view line to the particle centre.
            vec3 toCentre = s - pos;
            vec3 diff = dot(toCentre, dir) * dir - toCentre;
            float dist2 = dot(diff, diff);
            float gap = s.z - pos.z;

            // Pass k makes color * invalpha * 0.995 + light + tint. The running colour is kept rescaled by
            // 0.995^-k and less the tint of the passes so far, T = tint * (0.995^-1 + ... + 0.995^-(k-1)) before
            // this one; then the pass is color * invalpha + (invalpha - 1) * T + light * 0.995^-k, and a line
            // that passes outside the disc's edge (dist >= 1 + 2 / gap, tested with a margin and without a root)
            // leaves it as it is.
            undimmed *= UNDIMMING;
            if (dist2 * gap * gap < (gap + 2.0) * (gap + 2.0) * 1.0001) {
                vec4 disc = particleDisc(diff, dist2, gap, lightColor, lightLift);
                color = color * disc.w + (disc.w - 1.0) * tintBefore * tint + disc.xyz * undimmed;
            }
            tintBefore += undimmed;

            diagonal = rotated(diagonal, DIAGONAL_STEP);
            column = rotated(column, COLUMN_STEP);
        }
    }
    color = (color + tintBefore * tint) * DIMMED;
    gl_FragColor = vec4(color.x, color.y, color.z, 1.0);
}
