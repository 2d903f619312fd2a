#include "max/bitmap.h"

#include <algorithm>
#include <new>

#include "host/bitmap_errors.h"
#include "host/frame_windows.h"
#include "host/image_files.h"
#include "host/text.h"

namespace host {
void frameWindowShown(const std::wstring& title, Bitmap* bitmap);
void frameWindowRefreshed(Bitmap* bitmap);
void frameWindowRetitled(Bitmap* bitmap, const std::wstring& title);
void frameWindowClosed(Bitmap* bitmap);

namespace {
thread_local std::string gLastError;

WORD to16(float v) {
    if (!(v > 0.0f)) return 0;  // NaN lands on 0
    if (!(v < 1.0f)) return 65535;
    return WORD(v * 65535.0f + 0.5f);
}
}  // namespace

const std::string& lastBitmapError() {
    return gLastError;
}

}  // namespace host

namespace {
BitmapManager gManager;
}
BitmapManager* TheManager = &gManager;

Bitmap::~Bitmap() = default;

bool Bitmap::spanInside(int x, int y, int pixels) const {
    return x >= 0 && y >= 0 && pixels >= 0 && y < height_ && pixels <= width_ - x;
}

int Bitmap::GetPixels(int x, int y, int pixels, BMM_Color_fl* p) const {
    if (!p || !spanInside(x, y, pixels)) return 0;
    const float* src = pixels_.data() + (size_t(y) * size_t(width_) + size_t(x)) * 4;
    for (int i = 0; i < pixels; ++i, src += 4) p[i] = {src[0], src[1], src[2], src[3]};
    return 1;
}

int Bitmap::GetPixels(int x, int y, int pixels, BMM_Color_64* p) const {
    if (!p || !spanInside(x, y, pixels)) return 0;
    const float* src = pixels_.data() + (size_t(y) * size_t(width_) + size_t(x)) * 4;
    for (int i = 0; i < pixels; ++i, src += 4)
        p[i] = {host::to16(src[0]), host::to16(src[1]), host::to16(src[2]), host::to16(src[3])};
    return 1;
}

int Bitmap::PutPixels(int x, int y, int pixels, const BMM_Color_fl* p) {
    if (!p || !spanInside(x, y, pixels)) return 0;
    float* dst = pixels_.data() + (size_t(y) * size_t(width_) + size_t(x)) * 4;
    for (int i = 0; i < pixels; ++i, dst += 4) {
        dst[0] = p[i].r;
        dst[1] = p[i].g;
        dst[2] = p[i].b;
        dst[3] = p[i].a;
    }
    return 1;
}

int Bitmap::PutPixels(int x, int y, int pixels, const BMM_Color_64* p) {
    if (!p || !spanInside(x, y, pixels)) return 0;
    float* dst = pixels_.data() + (size_t(y) * size_t(width_) + size_t(x)) * 4;
    for (int i = 0; i < pixels; ++i, dst += 4) {
        dst[0] = float(p[i].r) / 65535.0f;
        dst[1] = float(p[i].g) / 65535.0f;
        dst[2] = float(p[i].b) / 65535.0f;
        dst[3] = float(p[i].a) / 65535.0f;
    }
    return 1;
}

void Bitmap::Fill(const BMM_Color_fl& c) {
    for (size_t i = 0; i < pixels_.size(); i += 4) {
        pixels_[i] = c.r;
        pixels_[i + 1] = c.g;
        pixels_[i + 2] = c.b;
        pixels_[i + 3] = c.a;
    }
}

int Bitmap::Display(const MCHAR* title, int, BOOL, BOOL, void*, Bitmap*) {
    host::frameWindowShown(title && *title ? title : host::kDefaultFrameWindowTitle, this);
    return TRUE;
}

int Bitmap::UnDisplay() {
    host::frameWindowClosed(this);
    return TRUE;
}

ULONG Bitmap::CreateChannels(ULONG channelIDs) {
    if ((channelIDs & BMM_CHAN_Z) && zChannel_.empty()) {
        try {
            zChannel_.assign(size_t(width_) * size_t(height_), kBmmZBackground);
        } catch (const std::bad_alloc&) {
            zChannel_.clear();
        }
    }
    return ChannelsPresent();
}

void Bitmap::DeleteChannels(ULONG channelIDs) {
    if (channelIDs & BMM_CHAN_Z) std::vector<float>().swap(zChannel_);
}

void* Bitmap::GetChannel(ULONG channelID, ULONG& chanType) {
    if (channelID == BMM_CHAN_Z && !zChannel_.empty()) {
        chanType = BMM_CHAN_TYPE_32;
        return zChannel_.data();
    }
    chanType = BMM_CHAN_TYPE_UNKNOWN;
    return nullptr;
}

void Bitmap::RefreshWindow(void*) {
    host::frameWindowRefreshed(this);
}

void Bitmap::SetWindowTitle(const MCHAR* title) {
    host::frameWindowRetitled(this, title ? title : L"");
}

void Bitmap::DeleteThis() {
    host::frameWindowClosed(this);
    delete this;
}

Bitmap* BitmapManager::NewBitmap() {
    return new (std::nothrow) Bitmap();
}

Bitmap* BitmapManager::Create(BitmapInfo* bi) {
    if (!bi || bi->Width() == 0 || bi->Height() == 0) return nullptr;
    Bitmap* bmp = NewBitmap();
    if (!bmp) return nullptr;
    try {
        bmp->pixels_.assign(size_t(bi->Width()) * size_t(bi->Height()) * 4, 0.0f);
    } catch (const std::bad_alloc&) {
        delete bmp;
        return nullptr;
    }
    bmp->width_ = bi->Width();
    bmp->height_ = bi->Height();
    bmp->type_ = bi->Type() == BMM_NO_TYPE ? BMM_FLOAT_RGBA_32 : bi->Type();
    bmp->flags_ = bi->Flags() & MAP_HAS_ALPHA;
    return bmp;
}

Bitmap* BitmapManager::Load(BitmapInfo* bi, BMMRES* status) {
    Bitmap* bmp = nullptr;
    BMMRES res = LoadInto(bi, &bmp, TRUE);
    if (status) *status = res;
    return res == BMMRES_SUCCESS ? bmp : nullptr;
}

BMMRES BitmapManager::LoadInto(BitmapInfo* bi, Bitmap** map, BOOL) {
    if (!bi || !map) {
        host::gLastError = "cannot read image: no file named";
        return BMMRES_INVALIDUSAGE;
    }
    host::ImageFile file;
    BMMRES res = host::readImageFile(host::toUtf8(bi->Name()), file, true, host::gLastError);
    if (res != BMMRES_SUCCESS) return res;
    Bitmap* bmp = NewBitmap();
    if (!bmp) {
        host::gLastError = "cannot read image '" + host::toUtf8(bi->Name()) + "': not enough memory";
        return BMMRES_MEMORYERROR;
    }
    bmp->width_ = file.width;
    bmp->height_ = file.height;
    bmp->type_ = file.type;
    bmp->flags_ = file.hasAlpha ? MAP_HAS_ALPHA : 0;
    bmp->pixels_ = std::move(file.rgba);
    bi->SetWidth(WORD(file.width));
    bi->SetHeight(WORD(file.height));
    bi->SetType(file.type);
    bi->ResetFlags(MAP_HAS_ALPHA);
    if (file.hasAlpha) bi->SetFlags(MAP_HAS_ALPHA);
    if (*map) (*map)->DeleteThis();
    *map = bmp;
    return BMMRES_SUCCESS;
}

BMMRES BitmapManager::GetImageInfo(BitmapInfo* bi, const MCHAR* filename) {
    if (!bi) return BMMRES_INVALIDUSAGE;
    if (filename) bi->SetName(filename);
    host::ImageFile file;
    BMMRES res = host::readImageFile(host::toUtf8(bi->Name()), file, false, host::gLastError);
    if (res != BMMRES_SUCCESS) return res;
    bi->SetWidth(WORD(file.width));
    bi->SetHeight(WORD(file.height));
    bi->SetType(file.type);
    bi->ResetFlags(MAP_HAS_ALPHA);
    if (file.hasAlpha) bi->SetFlags(MAP_HAS_ALPHA);
    return BMMRES_SUCCESS;
}
