// Application data on animatables: chunks keyed by the writer's class id, super class id and
// sub id, each owning its bytes.
#include <algorithm>
#include <cstdlib>

#include "max/reference.h"

void* MAX_malloc(size_t size) {
    return std::malloc(size ? size : 1);
}

void MAX_free(void* memory) {
    std::free(memory);
}

void Animatable::FreeChunk::operator()(AppDataChunk* chunk) const {
    MAX_free(chunk->data);
    delete chunk;
}

void Animatable::AddAppDataChunk(const Class_ID& cid, SClass_ID sid, DWORD sbid, DWORD len, void* data) {
    RemoveAppDataChunk(cid, sid, sbid);
    appData_.emplace_back(new AppDataChunk{cid, sid, sbid, len, data});
}

AppDataChunk* Animatable::GetAppDataChunk(const Class_ID& cid, SClass_ID sid, DWORD sbid) {
    for (auto& chunk : appData_)
        if (chunk->classID == cid && chunk->superClassID == sid && chunk->subID == sbid) return chunk.get();
    return nullptr;
}

BOOL Animatable::RemoveAppDataChunk(const Class_ID& cid, SClass_ID sid, DWORD sbid) {
    auto it = std::find_if(appData_.begin(), appData_.end(), [&](const auto& chunk) {
        return chunk->classID == cid && chunk->superClassID == sid && chunk->subID == sbid;
    });
    if (it == appData_.end()) return FALSE;
    appData_.erase(it);
    return TRUE;
}

void Animatable::ClearAllAppData() {
    appData_.clear();
}
