// Two sets of rings expanding with the music: one centred inside the screen at (0.75, 0.75) of its size,
// one beyond its top-right corner. Their sum interferes in pale blue on black.
uniform float time;
uniform vec2 resolution;

void main( void ) {
    // One pattern unit is H/100 pixels on both axes, so the rings stay circular for any window shape.
    vec2 position = vec2(gl_FragCoord.x / resolution.x * 2.0, gl_FragCoord.y / resolution.y * 2.0) - 1.5;
    float aspect = resolution.x / resolution.y;
    position = position * 50.0;
    position.x = position.x * aspect;

    vec2 m = vec2(1.0, 1.0) * 50.0;
    m.x = m.x * aspect;

    float color = sin(length(position) - time * 2.0) + sin(distance(m, position) - time * 2.0);
    gl_FragColor = vec4(color * 0.8, color * 0.9, color * 1.0, 1.0);
}
