#include "app/keys.h"

KeyCommand commandForKey(unsigned char key) {
    switch (key) {
        case '1': return KeyCommand::ExtractBinary;
        case '2': return KeyCommand::ExtractRange;
        case '3': return KeyCommand::None;
        case '4': return KeyCommand::SaveFrame;
        case 'a': return KeyCommand::PanLeft;
        case 'd': return KeyCommand::PanRight;
        case 's': return KeyCommand::PanDown;
        case 'w': return KeyCommand::PanUp;
        case 'f': return KeyCommand::FinePanLeft;
        case 'h': return KeyCommand::FinePanRight;
        case 'g': return KeyCommand::FinePanDown;
        case 't': return KeyCommand::FinePanUp;
        case 'q': return KeyCommand::ZoomInLittle;
        case 'e': return KeyCommand::ZoomOutLittle;
        case 'z': return KeyCommand::ZoomIn;
        case 'x': return KeyCommand::ZoomOut;
        case 'c': return KeyCommand::FillMode;
        case 'v': return KeyCommand::WireframeMode;
        default: return KeyCommand::Invalid;
    }
}

bool applyViewCommand(KeyCommand command, ViewState& view) {
    // Pan steps are raster pixels, so on screen they move by step * zoom.
    constexpr float panStep = 10.0f;
    constexpr float finePanStep = 0.5f;
    constexpr float smallZoomStep = 0.05f;
    constexpr float zoomStep = 1.0f;
    switch (command) {
        case KeyCommand::PanLeft: view.panX -= panStep; return true;
        case KeyCommand::PanRight: view.panX += panStep; return true;
        case KeyCommand::PanDown: view.panY -= panStep; return true;
        case KeyCommand::PanUp: view.panY += panStep; return true;
        case KeyCommand::FinePanLeft: view.panX -= finePanStep; return true;
        case KeyCommand::FinePanRight: view.panX += finePanStep; return true;
        case KeyCommand::FinePanDown: view.panY -= finePanStep; return true;
        case KeyCommand::FinePanUp: view.panY += finePanStep; return true;
        case KeyCommand::ZoomInLittle: view.zoom += smallZoomStep; return true;
        case KeyCommand::ZoomOutLittle: view.zoom -= smallZoomStep; return true;
        case KeyCommand::ZoomIn: view.zoom += zoomStep; return true;
        case KeyCommand::ZoomOut: view.zoom -= zoomStep; return true;
        default: return false;
    }
}
