// The keyboard as GetAsyncKeyState reports it: the Escape key, down or up. Pressing and
// releasing it are async-signal-safe (one lock-free atomic store), so a SIGINT or SIGTERM
// handler may press it to stop a plug-in's sequence between frames.
#pragma once

namespace host {

void pressEscape() noexcept;
void releaseEscape() noexcept;
bool escapeDown() noexcept;

}  // namespace host
