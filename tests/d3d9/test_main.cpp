// Entry point of the window tests: pins SDL to X11 and keeps the X server from resetting.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would break its templates.
#include <X11/Xlib.h>

#include <cstdlib>

namespace {

// The tests open and close SDL many times; an X server resets whenever its last client
// leaves, and connections made during a reset fail. One idle connection prevents that.
class KeepXServer : public ::testing::Environment {
public:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display) connection_ = XOpenDisplay(display);
    }
    void TearDown() override {
        if (connection_) XCloseDisplay(connection_);
        connection_ = nullptr;
    }

private:
    Display* connection_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    // Without X, SDL 1.2 would fall back to a text-mode driver and draw on the terminal.
    setenv("SDL_VIDEODRIVER", "x11", 0);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new KeepXServer);
    return RUN_ALL_TESTS();
}
