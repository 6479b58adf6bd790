// The process-wide X error handler: an X error is one report line, and the program goes on.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would break its templates.
#include <X11/Xlib.h>

#include <cstdio>
#include <string>

#include "process_guard.h"

TEST(ProcessGuard, XErrorIsOneLineAndTheProgramGoesOn) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    guardDisplay();
    testing::internal::CaptureStdout();
    // No such window: Xlib's default handler would end the process here.
    XDestroyWindow(display, RootWindow(display, 0) + 0x7ffff);
    XSync(display, False);
    std::fflush(stdout);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output, "X error: BadWindow (invalid Window parameter), request 4\n");
    // The connection still works.
    EXPECT_NE(XInternAtom(display, "WM_NAME", True), 0u);
    unguardDisplay();
    XCloseDisplay(display);
}
