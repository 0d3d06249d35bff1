uniform float time;
uniform vec2 resolution;
void main( void ) { gl_FragColor = vec4(0.8, 0.2, 0.8, 1.); }
