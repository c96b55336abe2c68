#pragma once
int runToolkitGallery(const char* outPng);
