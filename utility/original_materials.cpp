#include "utility/original_materials.h"

#include <cstring>
#include <string>
#include <vector>

#include "max/inode.h"
#include "max/material.h"
#include "utility/material_record.h"
#include "utility/weather_util.h"

namespace wx {

namespace {

constexpr DWORD kOriginalMaterialChunk = 1;

// Materials nodes had before their first weather material, for this run. A node is known by
// its address and handle together: a scene opened again has new nodes with the old handles.
class MaterialKeeper : public ReferenceMaker {
public:
    ~MaterialKeeper() override { DeleteAllRefsFromMe(); }
    int NumRefs() override { return int(kept_.size()); }
    RefTargetHandle GetReference(int i) override { return kept_[size_t(i)].mtl; }
    void SetReference(int i, RefTargetHandle t) override { kept_[size_t(i)].mtl = static_cast<Mtl*>(t); }

    // False when nothing is held or what was held has been deleted since.
    bool held(INode* node, Mtl*& mtl) const {
        const int i = find(node);
        if (i < 0 || (kept_[size_t(i)].hadOne && !kept_[size_t(i)].mtl)) return false;
        mtl = kept_[size_t(i)].mtl;
        return true;
    }
    void hold(INode* node, Mtl* mtl) {
        forget(node);
        kept_.push_back({node, node->GetHandle(), nullptr, mtl != nullptr});
        ReplaceReference(NumRefs() - 1, mtl, FALSE);
    }
    void forget(INode* node) {
        const int i = find(node);
        if (i < 0) return;
        ReplaceReference(i, nullptr);  // frees the material when nothing else holds it
        kept_.erase(kept_.begin() + i);
    }
    void clear() {
        DeleteAllRefsFromMe();
        kept_.clear();
    }

private:
    struct Kept {
        INode* node;
        ULONG handle;
        Mtl* mtl;
        bool hadOne;
    };
    int find(INode* node) const {
        for (size_t i = 0; i < kept_.size(); ++i)
            if (kept_[i].node == node && kept_[i].handle == node->GetHandle()) return int(i);
        return -1;
    }
    std::vector<Kept> kept_;
};

// Never destroyed: at exit the host's reference bookkeeping may already be gone.
MaterialKeeper& keeper() {
    static MaterialKeeper* k = new MaterialKeeper;
    return *k;
}

AppDataChunk* recordOf(INode* node) {
    return node->GetAppDataChunk(kWeatherUtilClassID, UTILITY_CLASS_ID, kOriginalMaterialChunk);
}

}  // namespace

void keepOriginalMaterial(INode* node, Mtl* mtl) {
    if (recordOf(node)) return;
    const std::string bytes = recordMaterial(mtl);
    void* data = MAX_malloc(bytes.size());
    std::memcpy(data, bytes.data(), bytes.size());
    node->AddAppDataChunk(kWeatherUtilClassID, UTILITY_CLASS_ID, kOriginalMaterialChunk, DWORD(bytes.size()), data);
    keeper().hold(node, mtl);
}

bool hasOriginalMaterial(INode* node) {
    return recordOf(node) != nullptr;
}

bool originalMaterial(INode* node, Mtl*& original) {
    original = nullptr;
    const AppDataChunk* record = recordOf(node);
    if (!record) {
        keeper().forget(node);  // held from before an undo took the record away
        return false;
    }
    if (keeper().held(node, original)) return true;
    const std::string bytes(static_cast<const char*>(record->data), record->length);
    if (!rebuildMaterial(bytes, original)) return false;
    keeper().hold(node, original);  // later calls see this same instance
    return true;
}

void forgetOriginalMaterial(INode* node) {
    node->RemoveAppDataChunk(kWeatherUtilClassID, UTILITY_CLASS_ID, kOriginalMaterialChunk);
    keeper().forget(node);
}

void releaseHeldOriginals() {
    keeper().clear();
}

}  // namespace wx
