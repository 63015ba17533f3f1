// The Glide state the textured scenes share.
#pragma once

// Colour writes without alpha; the texture unit passing the texel on (decal) from the largest
// level, bilinearly filtered; colour = texture + iterated colour; no chroma key. Each scene sets
// its depth test, alpha source and blend around this.
void SetSceneTextureState();
