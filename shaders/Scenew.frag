void main( void ) { gl_FragColor = vec4(1., 1., 1., 1.); }
