// The window's pixels in two shared-memory images taken in turn, sent to the X server without
// waiting for it to copy them.
#ifndef D3D9_SOFT_SHM_WINDOW_H
#define D3D9_SOFT_SHM_WINDOW_H

#include <cstddef>
#include <cstdint>
#include <memory>

namespace d3d9soft {

class ShmWindow {
public:
    // Null unless the window is on a local X server with shared memory and 32-bit pixels.
    static std::unique_ptr<ShmWindow> open(int width, int height);
    ~ShmWindow();
    ShmWindow(const ShmWindow&) = delete;
    ShmWindow& operator=(const ShmWindow&) = delete;

    // The image the next frame goes into (the server has done with it): 32-bit words with red,
    // green and blue at these shifts, rows pitch words apart.
    uint32_t* pixels() const;
    size_t pitch() const { return pitch_; }
    int redShift() const { return shifts_[0]; }
    int greenShift() const { return shifts_[1]; }
    int blueShift() const { return shifts_[2]; }
    // Sends [x0, x1) x [y0, y1) of that image and turns to the other one, once the server has
    // copied that one (sent the time before). The server may still be copying when it returns.
    void send(int x0, int y0, int x1, int y1);

private:
    void waitUntilCopied(int image);
    struct Parts;
    explicit ShmWindow(std::unique_ptr<Parts> parts);

    std::unique_ptr<Parts> parts_;
    int current_ = 0;
    size_t pitch_ = 0;
    int shifts_[3] = {};
};

}  // namespace d3d9soft

#endif
