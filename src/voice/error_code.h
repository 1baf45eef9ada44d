#pragma once
// The failure state the voice classes carry: 0, or the catalogue code of their last failure.
#include <cstdint>

class TErrorCode {
public:
    int32_t ErrorCode = 0;
};
