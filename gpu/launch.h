// What a kernel launch reports to its caller: whether it ran to completion, how long the
// kernel took on the device, and otherwise what went wrong, naming the kernel. Plain
// C++ so that code built without a CUDA compiler can pass it on.
#pragma once

#include <string>

namespace wx {

struct LaunchReport {
    bool ok = false;
    float kernelMs = 0.0f;  // device time between the launch and the kernel's end
    std::string error;      // "SkyKernel: out of memory"; empty when ok
};

}  // namespace wx
