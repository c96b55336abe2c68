#pragma once
// The toolkit gallery: one of each control with the panel artwork, a few driven with
// synthetic mouse events, written as a PNG so anyone can look at what the toolkit draws.

// Returns 0 on success, 1 when the PNG could not be written.
int runToolkitGallery(const char* outPng);
