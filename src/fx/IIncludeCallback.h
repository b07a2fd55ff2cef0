// Where the HLSL compiler gets the files named by #include.
#pragma once

#include <cstddef>

namespace kolm {

class IIncludeCallback {
public:
    virtual ~IIncludeCallback() {}
    // Opens an included file by the name written in the directive. On success `data` holds
    // `size` bytes owned by the callback until close(data).
    virtual bool open(const char* fileName, const char** data, size_t* size) = 0;
    virtual void close(const char* data) = 0;
};

}  // namespace kolm
