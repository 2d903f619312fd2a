// Bitmaps as plug-ins see them: BitmapInfo (name, size, pixel type, flags), Bitmap (rows of
// pixels, the frame window) and the global BitmapManager `TheManager` that loads and creates
// them. In the stand-in every bitmap stores linear float RGBA, whatever its type: a loaded
// 8- or 16-bit image is decoded from sRGB on load, so GetPixels and GetLinearPixels agree
// (as they do for the float type 17), and the BitmapInfo of a load reports the file's own
// pixel type. Row 0 is the top row. Pixel reads and writes of distinct rows may run on any
// thread; creating, loading, displaying and deleting bitmaps is main-thread work.
#pragma once

#include <string>
#include <vector>

#include "max/max_types.h"

using BMMRES = unsigned short;
constexpr BMMRES BMMRES_SUCCESS = 0;
constexpr BMMRES BMMRES_ERRORTAKENCARE = 1;
constexpr BMMRES BMMRES_FILENOTFOUND = 2;
constexpr BMMRES BMMRES_MEMORYERROR = 3;
constexpr BMMRES BMMRES_NODRIVER = 4;
constexpr BMMRES BMMRES_IOERROR = 5;
constexpr BMMRES BMMRES_INVALIDFORMAT = 6;
constexpr BMMRES BMMRES_CORRUPTFILE = 7;
constexpr BMMRES BMMRES_INVALIDUSAGE = 9;
constexpr BMMRES BMMRES_INTERNALERROR = 12;

// Pixel types.
constexpr int BMM_NO_TYPE = 0;
constexpr int BMM_GRAY_8 = 3;
constexpr int BMM_GRAY_16 = 4;
constexpr int BMM_TRUE_32 = 6;  // 8 bits per channel, RGBA
constexpr int BMM_TRUE_64 = 7;  // 16 bits per channel, RGBA
constexpr int BMM_TRUE_24 = 8;  // 8 bits per channel, RGB (files only)
constexpr int BMM_TRUE_48 = 9;  // 16 bits per channel, RGB (files only)
constexpr int BMM_REALPIX_32 = 16;
constexpr int BMM_FLOAT_RGBA_32 = 17;  // 32-bit float per channel, with or without alpha
constexpr int BMM_FLOAT_GRAY_32 = 18;
constexpr int BMM_FLOAT_RGB_32 = 19;
constexpr int BMM_FLOAT_A_32 = 20;

constexpr DWORD MAP_HAS_ALPHA = 1u << 1;

// G-buffer channels a bitmap may carry beside its pixels. The stand-in keeps one, the Z
// channel: one float per pixel, the camera-space z of what the pixel shows (negative in
// front of the camera, which looks along -Z), and kBmmZBackground where nothing was hit.
constexpr ULONG BMM_CHAN_NONE = 0;
constexpr ULONG BMM_CHAN_Z = 1u << 0;
constexpr ULONG BMM_CHAN_TYPE_UNKNOWN = 0;
constexpr ULONG BMM_CHAN_TYPE_32 = 4;  // one float per pixel
constexpr float kBmmZBackground = -1.0e30f;

// Frame-window positions for Display.
constexpr int BMM_UL = 1, BMM_LL = 2, BMM_UR = 3, BMM_LR = 4, BMM_CN = 5, BMM_RND = 10, BMM_VPP = 11, BMM_VPS = 12;

struct BMM_Color_fl {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};
struct BMM_Color_64 {
    WORD r = 0, g = 0, b = 0, a = 0;
};

class BitmapInfo {
public:
    BitmapInfo() = default;
    explicit BitmapInfo(const MCHAR* name) { SetName(name); }
    void SetName(const MCHAR* name) { name_ = name ? name : L""; }
    const MCHAR* Name() const { return name_.c_str(); }
    void SetWidth(WORD w) { width_ = w; }
    WORD Width() const { return width_; }
    void SetHeight(WORD h) { height_ = h; }
    WORD Height() const { return height_; }
    void SetType(int type) { type_ = type; }
    int Type() const { return type_; }
    void SetFlags(DWORD flags) { flags_ |= flags; }
    void ResetFlags(DWORD flags) { flags_ &= ~flags; }
    DWORD Flags() const { return flags_; }
    int TestFlags(DWORD flags) const { return (flags_ & flags) ? TRUE : FALSE; }
    void SetCustomFlag(DWORD flags) { custom_ = flags; }
    DWORD GetCustomFlags() const { return custom_; }
    void SetCurrentFrame(int frame) { frame_ = frame; }
    int CurrentFrame() const { return frame_; }
    void SetGamma(float gamma) { gamma_ = gamma; }
    float Gamma() const { return gamma_; }
    void SetAspect(float aspect) { aspect_ = aspect; }
    float Aspect() const { return aspect_; }

private:
    std::wstring name_;
    WORD width_ = 0, height_ = 0;
    int type_ = BMM_NO_TYPE;
    DWORD flags_ = 0, custom_ = 0;
    int frame_ = 0;
    float gamma_ = 1.0f, aspect_ = 1.0f;
};

class Bitmap {
public:
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Type() const { return type_; }
    DWORD Flags() const { return flags_; }
    int HasAlpha() const { return (flags_ & MAP_HAS_ALPHA) ? TRUE : FALSE; }
    int IsHighDynamicRange() const { return type_ >= BMM_REALPIX_32 ? TRUE : FALSE; }

    // One row at a time: 1 on success, 0 when the row or span lies outside the image.
    // 16-bit values are 0..65535 and clamp on the way out of float storage.
    int GetPixels(int x, int y, int pixels, BMM_Color_fl* p) const;
    int GetPixels(int x, int y, int pixels, BMM_Color_64* p) const;
    int PutPixels(int x, int y, int pixels, const BMM_Color_fl* p);
    int PutPixels(int x, int y, int pixels, const BMM_Color_64* p);
    int GetLinearPixels(int x, int y, int pixels, BMM_Color_fl* p) const { return GetPixels(x, y, pixels, p); }
    int GetLinearPixels(int x, int y, int pixels, BMM_Color_64* p) const { return GetPixels(x, y, pixels, p); }
    void Fill(const BMM_Color_fl& color);

    // G-buffer channels (BMM_CHAN_*). CreateChannels adds the asked ones, Z cleared to
    // kBmmZBackground, and answers the channels present; GetChannel answers the channel's
    // width x height values (row 0 at the top) and its type, or null and
    // BMM_CHAN_TYPE_UNKNOWN when the bitmap has none.
    ULONG CreateChannels(ULONG channelIDs);
    void DeleteChannels(ULONG channelIDs);
    ULONG ChannelsPresent() const { return zChannel_.empty() ? BMM_CHAN_NONE : BMM_CHAN_Z; }
    void* GetChannel(ULONG channelID, ULONG& chanType);

    // Shows the bitmap in the frame window of that title (the host's own title when null);
    // the stand-in records it and hands it to the display sink (host/frame_windows.h).
    int Display(const MCHAR* title = nullptr, int position = BMM_CN, BOOL autonomous = FALSE, BOOL saveButton = TRUE,
                void* crop = nullptr, Bitmap* cloneMyVFB = nullptr);
    int UnDisplay();
    void RefreshWindow(void* rect = nullptr);
    void SetWindowTitle(const MCHAR* title);

    // Frees the bitmap (closing its window); never `delete` one.
    void DeleteThis();

    // Stand-in: the pixels, width * height * 4 floats, row 0 at the top.
    const float* Data() const { return pixels_.data(); }
    float* Data() { return pixels_.data(); }

private:
    friend class BitmapManager;
    Bitmap() = default;
    ~Bitmap();
    bool spanInside(int x, int y, int pixels) const;

    int width_ = 0, height_ = 0;
    int type_ = BMM_FLOAT_RGBA_32;
    DWORD flags_ = 0;
    std::vector<float> pixels_;
    std::vector<float> zChannel_;
};

class BitmapManager {
public:
    // A new bitmap of bi's size, type and flags, cleared to transparent black; null when
    // the size is zero or the memory cannot be had.
    Bitmap* Create(BitmapInfo* bi);
    // Reads the file bi names (PNG 8/16-bit, JPEG, TGA, OpenEXR); null with *status set on
    // failure (the host keeps the reason, naming the file). Fills bi's size, type and flags.
    Bitmap* Load(BitmapInfo* bi, BMMRES* status = nullptr);
    // Loads into *map, replacing what it pointed to (deleted) on success.
    BMMRES LoadInto(BitmapInfo* bi, Bitmap** map, BOOL forceReload = FALSE);
    // The file's size, type and flags without its pixels.
    BMMRES GetImageInfo(BitmapInfo* bi, const MCHAR* filename = nullptr);
    Bitmap* NewBitmap();
};

extern BitmapManager* TheManager;
