// OpenEXR reading (any scanline or tiled file; channels R, G, B, A or a grey Y, converted
// to float) and writing (float channels, ZIP compression), through the OpenEXR library.
// The library reports failures with exceptions; none leaves this file.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <exception>
#include <vector>

#include "common/atomic_file.h"
#include "host/image_files.h"

namespace host {

namespace {

constexpr int kMaxSide = 65535;

// The encoded file in memory: the library seeks back to fill in its offset table, and
// the bytes then go through the atomic writer in one piece.
class MemoryStream : public Imf::OStream {
public:
    explicit MemoryStream(const std::string& name) : Imf::OStream(name.c_str()) {}
    void write(const char c[], int n) override {
        if (n <= 0) return;
        if (position_ + size_t(n) > bytes_.size()) bytes_.resize(position_ + size_t(n));
        std::memcpy(bytes_.data() + position_, c, size_t(n));
        position_ += size_t(n);
    }
    uint64_t tellp() override { return position_; }
    void seekp(uint64_t pos) override { position_ = size_t(pos); }
    const std::vector<char>& bytes() const { return bytes_; }

private:
    std::vector<char> bytes_;
    size_t position_ = 0;
};

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
    MemoryStream stream(path);
    try {
        Imf::Header header(width, height);
        header.compression() = Imf::ZIP_COMPRESSION;
        Imf::FrameBuffer fb;
        for (const ExrChannel& c : channels) {
            header.channels().insert(c.name, Imf::Channel(Imf::FLOAT));
            fb.insert(c.name, Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(const_cast<float*>(c.base)), c.xStride,
                                         c.xStride * size_t(width)));
        }
        Imf::OutputFile file(stream, header);
        file.setFrameBuffer(fb);
        file.writePixels(height);
    } catch (const std::bad_alloc&) {
        error = "cannot write '" + path + "': not enough memory for a " + std::to_string(width) + "x" +
                std::to_string(height) + " image";
        return false;
    } catch (const std::exception& e) {
        error = "cannot write '" + path + "': " + e.what();
        return false;
    }
    return wx::writeFileAtomically(path, stream.bytes().data(), stream.bytes().size(), error);
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
