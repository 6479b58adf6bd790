// libFuzzer entry: any bytes through the sound decoder, which must refuse or decode, never fault.
#include "decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sound::Pcm pcm;
    sound::decode(data, size, &pcm);
    return 0;
}
