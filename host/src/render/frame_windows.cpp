#include "host/frame_windows.h"

#include <algorithm>

#include "render/png_writer.h"

namespace host {

namespace {

std::vector<FrameWindow>& windows() {
    static std::vector<FrameWindow> w;
    return w;
}

DisplaySink& sink() {
    static DisplaySink s;
    return s;
}

FrameWindow* windowOf(Bitmap* bitmap) {
    for (FrameWindow& w : windows())
        if (w.bitmap == bitmap) return &w;
    return nullptr;
}

void show(FrameWindow& w) {
    ++w.showCount;
    if (sink() && w.bitmap) sink()(w.title, *w.bitmap);
}

}  // namespace

// A bitmap lives in at most one window: showing it under a new title moves it there.
void frameWindowShown(const std::wstring& title, Bitmap* bitmap) {
    auto& all = windows();
    if (FrameWindow* old = windowOf(bitmap); old && old->title != title) all.erase(all.begin() + (old - all.data()));
    auto it = std::find_if(all.begin(), all.end(), [&](const FrameWindow& w) { return w.title == title; });
    if (it == all.end()) it = all.insert(all.end(), FrameWindow{title, bitmap, 0});
    it->bitmap = bitmap;
    show(*it);
}

void frameWindowRefreshed(Bitmap* bitmap) {
    if (FrameWindow* w = windowOf(bitmap)) show(*w);
}

void frameWindowRetitled(Bitmap* bitmap, const std::wstring& title) {
    if (FrameWindow* w = windowOf(bitmap)) w->title = title;
}

void frameWindowClosed(Bitmap* bitmap) {
    auto& all = windows();
    all.erase(std::remove_if(all.begin(), all.end(), [&](const FrameWindow& w) { return w.bitmap == bitmap; }),
              all.end());
}

const std::vector<FrameWindow>& frameWindows() {
    return windows();
}

const FrameWindow* findFrameWindow(const std::wstring& title) {
    for (const FrameWindow& w : windows())
        if (w.title == title) return &w;
    return nullptr;
}

void closeAllFrameWindows() {
    windows().clear();
}

void setDisplaySink(DisplaySink s) {
    sink() = std::move(s);
}

bool saveBitmapPng(const Bitmap& bitmap, const std::string& path, std::string& error) {
    const float* data = bitmap.Data();
    std::vector<float> opaque;
    if (!bitmap.HasAlpha()) {
        opaque.assign(data, data + size_t(bitmap.Width()) * size_t(bitmap.Height()) * 4);
        for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 1.0f;
        data = opaque.data();
    }
    return wx::writePng16(path, data, bitmap.Width(), bitmap.Height(), error);
}

}  // namespace host
