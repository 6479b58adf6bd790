// Presenting in step with the display, as a GL swap with an interval of one does: the CPU
// backend sleeps until the display's next refresh instead of drawing frames nobody sees.
#ifndef D3D9_SOFT_PACING_H
#define D3D9_SOFT_PACING_H

#include "d3d9.h"

#include <cstdint>

namespace d3d9soft {

// The refresh rate of the output the window is on, as the X server's RandR tells it; 60 when
// it tells none (Xvfb, servers without RandR).
double refreshRate(HWND window);

class FramePacer {
public:
    explicit FramePacer(double hz) : periodNs(int64_t(1e9 / hz)) {}
    // Sleeps until the refresh after the frame just shown; a frame later than a whole period
    // waits for the next boundary, so the frames keep the display's phase.
    void waitForRefresh();

private:
    int64_t periodNs;
    int64_t phaseNs = -1;  // a refresh boundary: the first frame's time
};

}  // namespace d3d9soft

#endif
