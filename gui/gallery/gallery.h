#pragma once
// The toolkit gallery: one of each control with the panel artwork, a few driven with
// synthetic mouse events, written as a PNG so anyone can look at what the toolkit draws.

namespace VSTGUI {
class CFrame;
class CControlListener;
class COptionMenu;

// Puts the gallery's controls into frame (930 x 414); options is the options menu, sub its
// submenu (the caller forgets sub when done). Any drawing back end.
void buildToolkitGallery(CFrame& frame, CControlListener& listener, COptionMenu*& options, COptionMenu*& sub);
}  // namespace VSTGUI

// Returns 0 on success, 1 when the PNG could not be written.
int runToolkitGallery(const char* outPng);
