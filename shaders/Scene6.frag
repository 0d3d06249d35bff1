uniform float time;
uniform vec2 resolution;
uniform vec3 val;
void main( void ) { gl_FragColor = vec4(0.2, 0.4, 0.6, 1.); }
