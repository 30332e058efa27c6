#pragma once

// A copy of the window's last picture in an offscreen framebuffer, so that a
// frame whose picture has not changed costs one copy instead of a drawing.
class RetainedFrame {
public:
    RetainedFrame() = default;
    ~RetainedFrame();
    RetainedFrame(const RetainedFrame&) = delete;
    RetainedFrame& operator=(const RetainedFrame&) = delete;

    // Copies the given rectangle of the current read buffer. False when GL
    // offers no framebuffer objects; nothing is retained then.
    bool keep(int x, int y, int width, int height);
    // Copies the kept picture back to where it came from in the current draw
    // buffer. False when nothing of that rectangle is kept.
    bool show(int x, int y, int width, int height) const;
    void forget() { kept = false; }

private:
    unsigned int framebuffer = 0;
    unsigned int colourBuffer = 0;
    int bufferWidth = 0;
    int bufferHeight = 0;
    int keptX = 0;
    int keptY = 0;
    bool kept = false;
    bool unusable = false;
};
