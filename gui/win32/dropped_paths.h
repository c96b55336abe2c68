#pragma once
// The paths of files dropped on a frame window: shortcuts (".lnk") resolved to the files
// they point to, every path in UTF-8 and cut to what a path area holds (1023 bytes).
// Internal to the Windows back end.

#include <string>

namespace VSTGUI {

constexpr std::size_t kMaxDroppedPath = 1023;

// The target of the shortcut file at `link`; empty when it is no shortcut or names no
// file-system path. Never shows the shell's "missing shortcut" dialog.
std::wstring shortcutTarget(const wchar_t* link);

// What a view is offered for one dropped file: a shortcut's target (the shortcut itself
// when it cannot be resolved), as UTF-8 of at most kMaxDroppedPath bytes, cut before a
// whole character.
std::string droppedPath(const wchar_t* name);

}  // namespace VSTGUI
