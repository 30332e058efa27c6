#pragma once

// What a key press asks for. Keys are case-sensitive; anything without a
// command is Invalid, except '3', which is reserved and does nothing.
enum class KeyCommand {
    ExtractBinary,
    ExtractRange,
    None,
    SaveFrame,
    PanLeft,
    PanRight,
    PanDown,
    PanUp,
    FinePanLeft,
    FinePanRight,
    FinePanDown,
    FinePanUp,
    ZoomInLittle,
    ZoomOutLittle,
    ZoomIn,
    ZoomOut,
    FillMode,
    WireframeMode,
    Invalid,
};

KeyCommand commandForKey(unsigned char key);

struct ViewState {
    float zoom;
    float panX;
    float panY;
};

// Applies a pan or zoom command; returns false, changing nothing, for any
// other command.
bool applyViewCommand(KeyCommand command, ViewState& view);
