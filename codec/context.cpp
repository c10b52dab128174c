#include "codec/context.h"

// Static storage: zero-filled before the program entry runs.
CodecContext Codec;
