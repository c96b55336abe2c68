#pragma once
// The bitmap resources the editor loads, with their sizes and how their images are stacked.

namespace bitmap_table {

enum class Kind {
    Single,    // one picture
    TwoState,  // off or released picture on top, on or pressed picture below
    Hover,     // hover picture of a two-state button: also two pictures
    Stack,     // program switch: 16 pictures of 20 rows
    SizeOnly,  // used only for its size
};

struct Entry {
    int id, width, height;
    Kind kind;
    int replaces; // for hover pictures: the bitmap they stand in for; 0 otherwise
};

inline constexpr Entry kEntries[] = {
    {128, 930, 414, Kind::Single, 0},  {129, 20, 130, Kind::SizeOnly, 0},
    {130, 14, 7, Kind::Single, 0},     {131, 930, 414, Kind::Single, 0},
    {132, 14, 149, Kind::SizeOnly, 0}, {133, 34, 20, Kind::Hover, 143},
    {134, 225, 320, Kind::Stack, 0},   {135, 14, 16, Kind::Single, 0},
    {136, 31, 32, Kind::TwoState, 0},  {137, 368, 16, Kind::Single, 0},
    {138, 8, 18, Kind::TwoState, 0},   {139, 96, 34, Kind::TwoState, 0},
    {140, 37, 24, Kind::TwoState, 0},  {141, 41, 26, Kind::TwoState, 0},
    {142, 96, 34, Kind::Hover, 139},   {143, 34, 20, Kind::TwoState, 0},
    {144, 34, 24, Kind::TwoState, 0},  {145, 56, 14, Kind::Single, 0},
    {146, 12, 62, Kind::Single, 0},    {147, 12, 62, Kind::Single, 0},
    {148, 59, 16, Kind::Single, 170},  {149, 74, 12, Kind::Single, 172},
    {150, 84, 10, Kind::Single, 0},    {151, 9, 7, Kind::Single, 0},
    {152, 74, 24, Kind::Hover, 173},   {153, 14, 7, Kind::Single, 0},
    {154, 14, 7, Kind::Single, 0},     {155, 14, 7, Kind::Single, 0},
    {156, 9, 7, Kind::Single, 0},      {157, 46, 45, Kind::SizeOnly, 0},
    {158, 7, 10, Kind::Single, 0},     {159, 33, 18, Kind::Hover, 160},
    {160, 33, 18, Kind::TwoState, 0},  {161, 56, 28, Kind::TwoState, 0},
    {162, 53, 24, Kind::TwoState, 0},  {163, 65, 24, Kind::TwoState, 0},
    {164, 66, 18, Kind::TwoState, 0},  {165, 67, 24, Kind::TwoState, 0},
    {166, 56, 28, Kind::Hover, 161},   {167, 53, 24, Kind::Hover, 162},
    {168, 65, 24, Kind::Hover, 163},   {169, 66, 18, Kind::Hover, 164},
    {170, 59, 16, Kind::Single, 0},    {171, 31, 32, Kind::Hover, 136},
    {172, 74, 12, Kind::Single, 0},    {173, 74, 24, Kind::TwoState, 0},
    {174, 67, 24, Kind::Hover, 165},   {175, 34, 24, Kind::Hover, 144},
    {176, 37, 24, Kind::Hover, 140},   {177, 41, 26, Kind::Hover, 141},
};

} // namespace bitmap_table
