// Simplex noise kit: shared by the noise-layer scenes.
