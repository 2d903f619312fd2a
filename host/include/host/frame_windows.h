// The host's frame windows (the rendered-frame window and any window a plug-in opens with
// Bitmap::Display), headless: each window is a title and the bitmap it shows. A display
// sink, set by the command line, turns every Display into a file; tests read the windows
// back. Main thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "max/bitmap.h"

namespace host {

struct FrameWindow {
    std::wstring title;
    Bitmap* bitmap = nullptr;  // owned by whoever displayed it
    int showCount = 0;         // Display and RefreshWindow calls so far
};

// Open windows in the order they were first opened. A title names one window: displaying
// another bitmap under it replaces the bitmap shown; deleting a bitmap closes its window.
const std::vector<FrameWindow>& frameWindows();
const FrameWindow* findFrameWindow(const std::wstring& title);
void closeAllFrameWindows();

// Called after each Display and RefreshWindow with the window's title and bitmap; an empty
// function (the default) only records.
using DisplaySink = std::function<void(const std::wstring& title, const Bitmap& bitmap)>;
void setDisplaySink(DisplaySink sink);

// Writes the bitmap as a 16-bit PNG through wx::writePng16 (sRGB colour, linear alpha); a
// bitmap without alpha is written opaque. False with a message naming the file on failure.
bool saveBitmapPng(const Bitmap& bitmap, const std::string& path, std::string& error);

// The title a Display without a title gets.
inline const wchar_t* kDefaultFrameWindowTitle = L"Rendered Frame Window";

}  // namespace host
