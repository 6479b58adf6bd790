// Reading a picture file whole: regular files only, their size checked before reading.
#include "image.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace image {

// O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused by fstat right after.
bool readFile(const char* path, std::vector<uint8_t>* data) {
    data->clear();
    if (!path) return false;
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              uint64_t(st.st_size) <= kMaxFileBytes;
    if (ok) data->resize(size_t(st.st_size));
    size_t done = 0;
    while (ok && done < data->size()) {
        ssize_t n = read(fd, data->data() + done, data->size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;  // cut short while being read
        else done += size_t(n);
    }
    close(fd);
    if (!ok) data->clear();
    return ok;
}

bool loadFile(const char* path, uint32_t maxSide, Pixels* out) {
    std::vector<uint8_t> data;
    return readFile(path, &data) && decode(data.data(), data.size(), maxSide, out);
}

}  // namespace image
