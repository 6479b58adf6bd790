// libFuzzer entry: any bytes through the picture decoder, which must refuse or decode, never fault.
#include "image.h"

// Large enough for every decoder path, small enough that each input stays fast.
static const uint32_t kFuzzMaxSide = 1024;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    image::Pixels pixels;
    image::decode(data, size, kFuzzMaxSide, &pixels);
    return 0;
}
