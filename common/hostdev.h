// Marks a function that is compiled for both the CPU and the GPU: kernel bodies are
// written once and run unchanged by the thread-pool launcher and by the CUDA launcher.
#pragma once

#if defined(__CUDACC__)
#define WX_HOSTDEV __host__ __device__
#else
#define WX_HOSTDEV
#endif
