#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "app/window_events.h"

// The description of the main window and its 32 controls: one row per control,
// read once when the window is built. Places are pixels from the top-left
// corner of the client area.

enum class ControlKind { label, edit, check, button, progress, hyperlink, statusBar, timer };

// bold12, regular12 and regular14 are the Song face at that pixel height
// (bold is weight 700); standard is the window's own font.
enum class FontStyle { standard, bold12, regular12, regular14 };

struct Rgb {
    int red;
    int green;
    int blue;
};

struct ControlDescription {
    const char* name;  // UTF-8, the control's name in code and its object name
    ControlKind kind;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::string_view caption = {};  // GBK
    FontStyle font = FontStyle::standard;
    std::optional<Rgb> textColour = {};
    std::optional<Rgb> background = {};
    bool centred = false;
    bool visible = true;         // the labels that only hold values are never shown
    std::string_view link = {};  // a hyperlink's scheme; the caption follows it
    std::optional<ClickSource> click = {};
    std::optional<TimerSource> tick = {};
};

struct WindowDescription {
    std::string_view title;  // GBK
    int outerWidth;
    int outerHeight;
    // The fixed frame assumed until the platform tells its own: the client
    // area is the outer size less these.
    int frameLeft, frameTop, frameRight, frameBottom;
    int statusBarHeight;
    std::array<int, 4> statusPartRightEdges;
};

const WindowDescription& mainWindowDescription();
std::span<const ControlDescription> mainWindowLayout();
