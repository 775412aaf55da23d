#pragma once

// Whether a compositing manager draws this display's windows. Without one, an X server shows a translucent window's
// pixels as they are, so its transparent parts come out black instead of letting the desktop through.
namespace Compositing {

enum class State {
    Unknown, // not an X11 display (Wayland and Windows always compose; the offscreen platform draws nothing)
    Active,
    Absent,
};

// Asked of the display each time (a compositor may start or stop while the program runs).
State current();

} // namespace Compositing
