#pragma once

// Tells assistive technology what the custom controls are: a switch is a check box that is checked while on, and
// toggling it is an action a screen reader can invoke. Installed once, by the first themed window.
namespace ControlAccessibility {
void install();
}
