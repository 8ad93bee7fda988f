#pragma once

class Camera;

// Every control in each of its states, one sheet per kind, in the camera's theme.
void shootControls(Camera &camera);
// The brand drawings in the camera's theme: the glyph's fills, the scene, the sparkline, the app icon.
void shootBrand(Camera &camera);
// The tray icon in every state (production and development builds, each fill, the count badge) on light and dark
// panels; not themed.
void shootTrayIcons(Camera &camera);
