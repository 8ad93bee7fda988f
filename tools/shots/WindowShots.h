#pragma once

class Camera;

// Every window of the application, each in the theme the camera is set to.
void shootPopover(Camera &camera);
void shootEditor(Camera &camera);
void shootPreferences(Camera &camera);
void shootLog(Camera &camera);
void shootTrayMenu(Camera &camera);
