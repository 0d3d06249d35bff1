// Window messages as the routing table knows them: the Win32 message numbers and parameter packing, so that
// every platform turns its events into the same records.
#pragma once

#include <cstdint>

using WindowHandle = void*;  // the platform's window; the routing never looks inside it

struct Message {
    WindowHandle window = nullptr;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

#ifdef _WIN32
#include <windows.h>
#else
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ERASEBKGND = 0x0014;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;

constexpr uintptr_t SC_SCREENSAVE = 0xF140;
constexpr uintptr_t SC_MONITORPOWER = 0xF170;

constexpr int VK_ESCAPE = 27;
#endif

// Two 16-bit words in one lParam, low word first, as Win32 packs sizes and pointer positions.
constexpr intptr_t MakeLParam(int low, int high) {
    return static_cast<intptr_t>((static_cast<uint32_t>(high) & 0xFFFF) << 16 |
                                 (static_cast<uint32_t>(low) & 0xFFFF));
}
constexpr int LowWord(intptr_t l) {
    return static_cast<int>(static_cast<uint32_t>(l) & 0xFFFF);
}
constexpr int HighWord(intptr_t l) {
    return static_cast<int>((static_cast<uint32_t>(l) >> 16) & 0xFFFF);
}
// A pointer position: each word sign-extended, so positions left of or above the client area are negative.
constexpr int SignedLowWord(intptr_t l) {
    return static_cast<int16_t>(LowWord(l));
}
constexpr int SignedHighWord(intptr_t l) {
    return static_cast<int16_t>(HighWord(l));
}
