#include "app/depth_file.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>

#include <exception>
#include <filesystem>
#include <limits>
#include <new>

namespace tweather {
namespace {

constexpr long long kMaxSide = 65535;

// "Z", else the file's only channel; null when neither.
const char* depthChannel(const Imf::ChannelList& channels) {
    if (channels.findChannel("Z")) return "Z";
    auto first = channels.begin();
    if (first == channels.end()) return nullptr;
    auto second = first;
    return ++second == channels.end() ? first.name() : nullptr;
}

}  // namespace

bool readDepthExr(const std::string& path, DepthPicture& out, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot read the depth '" + path + "': no such file";
        return false;
    }
    try {
        Imf::InputFile file(path.c_str());
        const Imath::Box2i dw = file.header().dataWindow();
        const long long w = (long long)dw.max.x - dw.min.x + 1, h = (long long)dw.max.y - dw.min.y + 1;
        if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
            error = "cannot read the depth '" + path + "': its data window is " + std::to_string(w) + "x" +
                    std::to_string(h);
            return false;
        }
        const char* channel = depthChannel(file.header().channels());
        if (!channel) {
            error = "cannot read the depth '" + path + "': it has no Z channel (write it with tweather render --depth)";
            return false;
        }
        out.width = int(w);
        out.height = int(h);
        out.depth.assign(size_t(w) * size_t(h), std::numeric_limits<float>::infinity());
        Imf::FrameBuffer fb;
        fb.insert(channel, Imf::Slice::Make(Imf::FLOAT, out.depth.data(), dw, sizeof(float), sizeof(float) * size_t(w),
                                            1, 1, std::numeric_limits<float>::infinity()));
        file.setFrameBuffer(fb);
        file.readPixels(dw.min.y, dw.max.y);
        return true;
    } catch (const std::bad_alloc&) {
        error = "cannot read the depth '" + path + "': not enough memory";
    } catch (const std::exception& e) {
        error = "cannot read the depth '" + path + "': not an OpenEXR file, or a damaged one (" + e.what() + ")";
    }
    return false;
}

}  // namespace tweather
