uniform float time;
uniform float scenetime;
uniform vec2 resolution;
uniform vec3 val;
void main( void ) { gl_FragColor = vec4(0.6, 0.2, 0.4, 1.); }
