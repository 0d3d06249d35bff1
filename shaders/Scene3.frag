// A ray-marched city: three grids of white box towers on a flat ground, seen through a fish-eye lens from a
// camera flying at a height of about 35. One moving point light gives soft shadows and a diffuse term;
// ambient occlusion, a dark foot on every tower and a dark red fog finish the hits; rising rays show the sky.
uniform float time;
uniform float scenetime;
uniform vec2 resolution;
uniform vec3 val;

const int MAX_STEPS = 200;
const vec3 shadowColor = vec3(0.0, 0.0, 0.0);
const vec3 buildingsColor = vec3(1.0, 1.0, 1.0);
const vec3 groundColor = vec3(1.0, 1.0, 1.0);
const vec3 skyColor = vec3(0.5, 0.0, 0.0);
const float fovyCoefficient = 1.0;
const float shadowHardness = 7.0;
const float epsilon = 0.01;
const float PI = 3.14159265;
const int SKY_MTL = 0;
const int GROUND_MTL = 1;
const int BUILDINGS_MTL = 2;

// The running random value: starts at 1 for every pixel and is replaced by every call of rand. The tower
// heights come from it, so the number and order of the calls below decide what each evaluation sees.
float randNum = 1.0;

float rand(float n) {
    randNum = 0.2 + 0.8 * fract(sin(78.233 * n) * 43758.5453) * randNum;
    return randNum;
}

float PlaneDistance(vec3 point, vec3 normal, float pDistance) {
    return dot(point - normal * pDistance, normal);
}

float CubeDistance2(vec3 point, vec3 size) {
    return length(max(abs(point) - size, 0.0));
}

// One box of half-extents (3, 12, 3) centred in every cell of x and z; its centre rises by 2 rand().
float CubeRepetition(vec3 point, vec3 repetition) {
    vec3 q;
    q.x = mod(point.x, repetition.x) - 0.5 * repetition.x;
    q.z = mod(point.z, repetition.z) - 0.5 * repetition.z;
    q.y = point.y - 2.0 * rand(val.x * val.y);
    return CubeDistance2(q, vec3(3.0, 12.0, 3.0));
}

float BuildingsDistance(vec3 position) {
    float first = CubeRepetition(position, vec3(17.0, 0.0, 28.0));
    float second = CubeRepetition(position + vec3(54.0, -2.0, 0.0), vec3(16.0, 0.0, 31.0));
    float third = CubeRepetition(position + vec3(263.0, -3.0, 0.0), vec3(21.0, 0.0, 43.0));
    return min(min(first, second), third);
}

float GroundDistance(vec3 position) {
    return PlaneDistance(position, vec3(0.0, 1.0, 0.0), 0.0);
}

// Distance to the scene and the material of the nearest surface; a tie goes to the ground.
float DistanceField(vec3 position, out int mtl) {
    float b = BuildingsDistance(position);
    float g = GroundDistance(position);
    mtl = GROUND_MTL;
    if (b < g) {
        mtl = BUILDINGS_MTL;
        return b;
    }
    return g;
}

// Returns where the march stopped. A ray that hits nothing is ground when descending, sky when rising.
vec3 RayMarch(vec3 position, vec3 direction, out int mtl) {
    for (int i = 0; i < MAX_STEPS; i++) {
        float d = DistanceField(position, mtl);
        if (d < 0.01) return position;
        position = position + direction * d;
    }
    mtl = direction.y < 0.0 ? GROUND_MTL : SKY_MTL;
    return position;
}

// Towers only: the ground casts no shadow.
float Softshadow(vec3 landPoint, vec3 lightVector, float mint, float maxt, float iterations) {
    float penumbra = 1.0;
    float t = mint;
    for (int i = 0; i < 100; i++) {
        if (t > maxt) break;
        float d = BuildingsDistance(landPoint + lightVector * t);
        if (d < 0.001) return 0.0;
        penumbra = min(penumbra, iterations * d / t);
        t = t + d;
    }
    return penumbra;
}

// Central differences in the order +x, -x, +y, -y, +z, -z.
vec3 ComputeNormal(vec3 pos) {
    int mtl;
    float xp = DistanceField(pos + vec3(epsilon, 0.0, 0.0), mtl);
    float xm = DistanceField(pos - vec3(epsilon, 0.0, 0.0), mtl);
    float yp = DistanceField(pos + vec3(0.0, epsilon, 0.0), mtl);
    float ym = DistanceField(pos - vec3(0.0, epsilon, 0.0), mtl);
    float zp = DistanceField(pos + vec3(0.0, 0.0, epsilon), mtl);
    float zm = DistanceField(pos - vec3(0.0, 0.0, epsilon), mtl);
    vec3 gradient = vec3(xp - xm, yp - ym, zp - zm);
    // A point inside a tower sees the same distance on all six sides: it takes the normal (0, 1, 0).
    if (dot(gradient, gradient) == 0.0) return vec3(0.0, 1.0, 0.0);
    return normalize(gradient);
}

// Not clamped: open space along the normal raises it above 1.
float AmbientOcclusion(vec3 point, vec3 normal, float stepDistance, float samples) {
    int mtl;
    float occlusion = 1.0;
    for (int i = 0; i < 20; i++) {
        samples = samples - 1.0;
        if (samples < 0.0) break;
        float d = DistanceField(point + normal * samples * stepDistance, mtl);
        occlusion = occlusion - (samples * stepDistance - d) / exp2(samples);
    }
    return occlusion;
}

// 180 degrees across; the horizon lies at 70% of the height. Azimuth from +z towards +x, then elevation.
void FishEyeCamera(vec2 screenPos, float ratio, float fovy, out vec3 position, out vec3 direction) {
    vec2 s = screenPos;
    s.y = s.y - 0.2;
    s = s * vec2(PI * 0.5, PI * 0.5 / ratio) / fovy * 2.0;
    direction = vec3(sin(s.y + PI * 0.5) * sin(s.x), -cos(s.y + PI * 0.5), sin(s.y + PI * 0.5) * cos(s.x));
    position = vec3(5.0 + time + scenetime, 35.0 + sin(time + rand(val.x * randNum)), 10.0 * time);
}

vec3 MaterialColor(int mtl) {
    if (mtl == SKY_MTL) return skyColor;
    if (mtl == BUILDINGS_MTL) return buildingsColor;
    return groundColor;
}

void applyFog(float distance, inout vec3 color) {
    float fogAmount = 1.0 - clamp(0.0015 * distance, 0.0, 1.0);
    color = mix(skyColor, color, fogAmount);
}

void main( void ) {
    float ratio = resolution.x / resolution.y;
    vec2 screenPos = vec2(gl_FragCoord.x / resolution.x - 0.5, gl_FragCoord.y / resolution.y - 0.5);
    vec3 cameraPosition;
    vec3 rayDirection;
    FishEyeCamera(screenPos, ratio, fovyCoefficient, cameraPosition, rayDirection);

    // The towers end below 17 and the camera flies at 34 or more: a ray that does not descend never comes
    // within reach of a surface, and its march would end as sky after all its steps.
    int mtl = SKY_MTL;
    vec3 hitPoint = cameraPosition;
    if (rayDirection.y < 0.0) hitPoint = RayMarch(cameraPosition, rayDirection, mtl);
    if (mtl != SKY_MTL) {
        vec3 lightPosition = vec3(50.0 * sin(0.01 * time), 10.0 + 40.0 * abs(cos(0.01 * time)), time + 100.0);
        vec3 lightVector = normalize(lightPosition - hitPoint);
        float shadow = Softshadow(hitPoint, lightVector, 0.1, 50.0, shadowHardness);
        vec3 normal = ComputeNormal(hitPoint);
        float attenuation = clamp(dot(normal, lightVector), 0.0, 1.0) * 0.6 + 0.4;
        shadow = min(shadow, attenuation);

        vec3 mtlColor = MaterialColor(mtl);
        // Towers darken towards their foot, below the height 7.
        if (mtl == BUILDINGS_MTL) mtlColor = mix(shadowColor, mtlColor, clamp(hitPoint.y / 7.0, 0.0, 1.0));
        vec3 hitColor = mix(shadowColor, mtlColor, 0.4 + shadow * 0.6);

        vec3 hitNormal = ComputeNormal(hitPoint);
        float AO = AmbientOcclusion(hitPoint, hitNormal, 0.35, 5.0);
        hitColor = mix(shadowColor, hitColor, AO);
        applyFog(length(cameraPosition - hitPoint), hitColor);
        gl_FragColor = vec4(hitColor, 1.0);
    } else {
        float shade = rayDirection.y;
        gl_FragColor = vec4(mix(skyColor, vec3(0.3, 0.3, 0.7), shade), 1.0);
    }
}
