uniform float time;
uniform vec2 resolution;
uniform vec3 val;
uniform float scenetime;
void main( void ) { gl_FragColor = vec4(0.2, 0.2, 0.8, 1.); }
