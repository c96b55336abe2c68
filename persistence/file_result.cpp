#include "persistence/file_result.h"

namespace grainwheel {

const FileMessage kFileMessages[] = {
    {0, "Done nothing."},
    {1, "File already exists"},
    {2, "Could not open in write mode."},
    {3, "Buffer is empty"},
    {4, "No RIFF chunk found"},
    {5, "No WAVE chunk found"},
    {6, "No FMT chunk found"},
    {7, "No DATA chunk found"},
    {8, "No PCM Data"},
    {9, "Only 16bit atm"},
    {10, "Only 44.1k atm"},
    {11, "Only Mono/Stereo allowed."},
    {12, "No Audiodata found"},
    {20, "No valid GRB file."},
    {21, "No WAVE chunk found"},
    {22, "Version number does not fit"},
    {23, "Could not open file."},
    {24, "Filename too long"},
    {25, "File operation eror (fseek)"},
    {30, "(Some) files could not be recovered"},
    {40, " Memory allocation failed"},
    {300, "Options imported"},
};
const int kNumFileMessages = sizeof(kFileMessages) / sizeof(kFileMessages[0]);

const char* fileResultText(FileResult code) {
    for (const FileMessage& m : kFileMessages)
        if (m.code == code) return m.text;
    return nullptr;
}

}  // namespace grainwheel
