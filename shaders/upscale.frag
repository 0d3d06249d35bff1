// The show's frame drawn below the window's size, scaled up over the window: one bilinear sample a pixel.
uniform sampler2D frame;
uniform vec2 resolution;
void main(void) { gl_FragColor = texture2D(frame, gl_FragCoord.xy / resolution); }
