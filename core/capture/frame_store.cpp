#include "core/capture/frame_store.h"

namespace taloran {

namespace {
FrameStore store;  // static storage: zero-filled before main, about 7 MB
}

FrameStore& TheFrameStore() { return store; }

}  // namespace taloran
