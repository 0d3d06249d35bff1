// A test window that records the handler calls its tests look at, for the routing tests of each platform.
#pragma once

#include <string>
#include <vector>

#include "platform/gl.h"

// Records each call as "What a b"; a resize also notes the stored size (GetWidth, GetHeight) and the GL
// viewport as the handler sees them.
template <class Window>
class RecordingWindow : public Window {
public:
    void OnLButtonDown(int x, int y) override { Record("LButtonDown", x, y); }
    void OnRButtonUp(int x, int y) override { Record("RButtonUp", x, y); }
    void OnMouseMove(int x, int y) override { Record("MouseMove", x, y); }
    void OnKeyDown(int key) override { Record("KeyDown", key, 0); }
    void OnKeyUp(int key) override { Record("KeyUp", key, 0); }
    void OnResize(int w, int h) override {
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        Record("Resize", w, h);
        calls.back() += " stored " + std::to_string(this->GetWidth()) + "x" +
                        std::to_string(this->GetHeight()) + " viewport " + std::to_string(viewport[2]) + "x" +
                        std::to_string(viewport[3]);
    }
    void OnDraw() override { Record("Draw", 0, 0); }

    void Record(const char* what, int a, int b) {
        calls.push_back(std::string(what) + " " + std::to_string(a) + " " + std::to_string(b));
    }

    std::vector<std::string> calls;
};
