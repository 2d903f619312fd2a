// OpenEXR reading (any scanline or tiled file; channels R, G, B, A or a grey Y, converted
// to float) and writing (float channels, ZIP compression), through the OpenEXR library.
// The library reports failures with exceptions; none leaves this file.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "host/image_files.h"

namespace host {

namespace {

constexpr int kMaxSide = 65535;

// A fresh name beside `path` for the temporary file of an atomic write.
bool reserveTempName(const std::string& path, std::string& temp, std::string& error) {
    std::vector<char> name(path.begin(), path.end());
    const std::string suffix = ".tmp-XXXXXX";
    name.insert(name.end(), suffix.begin(), suffix.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot write '" + path + "' (check the folder exists and is writable)";
        return false;
    }
    ::close(fd);
    temp = name.data();
    return true;
}

struct ExrChannel {
    const char* name;
    const float* base;  // first pixel of the channel
    size_t xStride;     // bytes between pixels
};

bool writeExr(const std::string& path, const std::vector<ExrChannel>& channels, int width, int height,
              std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "cannot write '" + path + "': the image is empty";
        return false;
    }
    std::string temp;
    if (!reserveTempName(path, temp, error)) return false;
    try {
        Imf::Header header(width, height);
        header.compression() = Imf::ZIP_COMPRESSION;
        Imf::FrameBuffer fb;
        for (const ExrChannel& c : channels) {
            header.channels().insert(c.name, Imf::Channel(Imf::FLOAT));
            fb.insert(c.name, Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(const_cast<float*>(c.base)), c.xStride,
                                         c.xStride * size_t(width)));
        }
        Imf::OutputFile file(temp.c_str(), header);
        file.setFrameBuffer(fb);
        file.writePixels(height);
    } catch (const std::exception& e) {
        std::remove(temp.c_str());
        error = "cannot write '" + path + "': " + e.what();
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = "cannot write '" + path + "' (check the folder is writable)";
        return false;
    }
    return true;
}

}  // namespace

BMMRES readExrFile(const std::string& path, ImageFile& out, bool pixels, std::string& error) {
    try {
        Imf::InputFile file(path.c_str());
        const Imath::Box2i dw = file.header().dataWindow();
        const long long w = (long long)dw.max.x - dw.min.x + 1, h = (long long)dw.max.y - dw.min.y + 1;
        if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
            error = "cannot read image '" + path + "': its data window is " + std::to_string(w) + "x" +
                    std::to_string(h) + " (at most 65535 pixels on a side)";
            return BMMRES_INVALIDFORMAT;
        }
        const Imf::ChannelList& list = file.header().channels();
        const bool grey =
            !list.findChannel("R") && !list.findChannel("G") && !list.findChannel("B") && list.findChannel("Y");
        out.width = int(w);
        out.height = int(h);
        out.type = BMM_FLOAT_RGBA_32;
        out.hasAlpha = list.findChannel("A") != nullptr;
        if (!pixels) return BMMRES_SUCCESS;

        out.rgba.resize(size_t(w) * size_t(h) * 4);
        Imf::FrameBuffer fb;
        const size_t xs = 4 * sizeof(float), ys = xs * size_t(w);
        char* base = reinterpret_cast<char*>(out.rgba.data());
        // A grey file's Y goes to red and is copied to green and blue after the read.
        const char* names[3] = {"R", "G", "B"};
        for (int c = 0; c < (grey ? 1 : 3); ++c)
            fb.insert(grey ? "Y" : names[c],
                      Imf::Slice::Make(Imf::FLOAT, base + c * sizeof(float), dw, xs, ys, 1, 1, 0.0));
        fb.insert("A", Imf::Slice::Make(Imf::FLOAT, base + 3 * sizeof(float), dw, xs, ys, 1, 1, 1.0));
        file.setFrameBuffer(fb);
        file.readPixels(dw.min.y, dw.max.y);
        if (grey)
            for (size_t i = 0; i < out.rgba.size(); i += 4) out.rgba[i + 1] = out.rgba[i + 2] = out.rgba[i];
        return BMMRES_SUCCESS;
    } catch (const std::bad_alloc&) {
        error = "cannot read image '" + path + "': not enough memory";
        return BMMRES_MEMORYERROR;
    } catch (const std::exception& e) {
        error = "cannot read image '" + path + "': the OpenEXR file is damaged (" + e.what() + ")";
        return BMMRES_CORRUPTFILE;
    }
}

bool writeExrDepth(const std::string& path, const float* depth, int width, int height, std::string& error) {
    return writeExr(path, {{"Z", depth, sizeof(float)}}, width, height, error);
}

bool writeExrRgba(const std::string& path, const float* rgba, int width, int height, std::string& error) {
    const size_t xs = 4 * sizeof(float);
    return writeExr(path, {{"R", rgba, xs}, {"G", rgba + 1, xs}, {"B", rgba + 2, xs}, {"A", rgba + 3, xs}}, width,
                    height, error);
}

}  // namespace host
