uniform float time;
uniform float scenetime;
uniform vec3 val;
uniform vec2 resolution;
void main( void ) { gl_FragColor = vec4(0.4, 0.6, 0.2, 1.); }
