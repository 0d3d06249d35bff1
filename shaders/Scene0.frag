// Each pixel becomes a complex factor n through a slowly turning transformation (a product, an inversion, a
// shift and a square root), then runs a fixed orbit of 400 steps p <- p n + shift + 1/p. The farthest the
// orbit flies from the origin sets the brightness: dark where it stays near, bluish white where it escapes.
uniform float time;
uniform vec2 resolution;
uniform vec3 val;

const int MAXITER = 400;

void main( void ) {
    // Half the resolution is added: the screen covers (2 W/H .. 6 W/H, 2 .. 6), away from the origin.
    vec2 n = (gl_FragCoord.xy - resolution * vec2(-0.5, -0.5)) / resolution.y * 4.0;
    float t = -time * sqrt(time * 0.1) * 0.01;
    vec2 na = vec2(cos(t), tan(t));
    n = vec2(n.x * na.x - n.y * na.y, n.x * na.y + n.y * na.x);
    n = n / dot(n, n);
    n = n + vec2(sin(t), -cos(t));

    // Principal square root. Both radicands are at least 0 in exact arithmetic (l >= |n.x|); rounding can
    // take the smaller one just below 0 where n.y is near 0, so each is clamped at 0.
    float l = length(n);
    n = vec2(sqrt(max((l + n.x) * 0.5, 0.0)), sqrt(max((l - n.x) * 0.5, 0.0)) * sign(n.y));

    vec2 p = vec2(2.0, 0.0);
    float m = dot(p, p);
    for (int i = 0; i < MAXITER; i++) {
        p = vec2(p.x * n.x - p.y * n.y - 0.5 + val.x * 0.1, p.x * n.y + p.y * n.x - 0.5 + val.y * 0.1);
        p = p + vec2(p.x + val.x * val.y * 0.1, -p.y + val.y * val.z * 0.1) / dot(p, p);
        m = max(m, dot(p, p));
    }

    vec3 cb = vec3(100.0, 80.0, 70.0) * 0.8;
    vec3 color = 1.0 - cb / (cb + sqrt(m));
    gl_FragColor = vec4(color * 1.5, 1.0);
}
