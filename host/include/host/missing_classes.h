// Stand-ins for objects whose class the host does not know when a scene is loaded (a
// plug-in that is not installed). Each keeps the object's saved data as it was and writes
// it back on save, so a scene passes through this host without losing what it cannot use.
// The geometry placeholder evaluates to nothing renderable; the modifier one passes its
// input through. Main thread only.
#pragma once

#include <string>

#include "max/material.h"

namespace host {

// Shared by the placeholders: identity as saved and the saved text (JSON).
struct MissingClassData {
    SClass_ID superClassId = 0;
    Class_ID classId;
    std::wstring className;
    std::string savedJson;
};

class MissingObject : public GeomObject {
public:
    explicit MissingObject(MissingClassData data) : data_(std::move(data)) {}
    Class_ID ClassID() override { return data_.classId; }
    SClass_ID SuperClassID() override { return data_.superClassId; }
    void GetClassName(MSTR& s, bool) const override { s = data_.className; }
    int IsRenderable() override { return FALSE; }
    const MissingClassData& Data() const { return data_; }

private:
    MissingClassData data_;
};

class MissingModifier : public WSModifier {
public:
    explicit MissingModifier(MissingClassData data) : data_(std::move(data)) {}
    Class_ID ClassID() override { return data_.classId; }
    SClass_ID SuperClassID() override { return data_.superClassId; }
    void GetClassName(MSTR& s, bool) const override { s = data_.className; }
    void ModifyObject(TimeValue, ModContext&, ObjectState*, INode*) override {}
    const MissingClassData& Data() const { return data_; }

private:
    MissingClassData data_;
};

class MissingMtl : public Mtl {
public:
    explicit MissingMtl(MissingClassData data) : data_(std::move(data)) {}
    Class_ID ClassID() override { return data_.classId; }
    SClass_ID SuperClassID() override { return data_.superClassId; }
    void GetClassName(MSTR& s, bool) const override { s = data_.className; }
    Color GetDiffuse(int, BOOL) override { return Color(0.5f, 0.5f, 0.5f); }
    float GetShininess(int, BOOL) override { return 0.0f; }
    const MissingClassData& Data() const { return data_; }

private:
    MissingClassData data_;
};

class MissingTexmap : public Texmap {
public:
    explicit MissingTexmap(MissingClassData data) : data_(std::move(data)) {}
    Class_ID ClassID() override { return data_.classId; }
    SClass_ID SuperClassID() override { return data_.superClassId; }
    void GetClassName(MSTR& s, bool) const override { s = data_.className; }
    AColor EvalColor(ShadeContext&) override { return AColor(0, 0, 0, 1); }
    const MissingClassData& Data() const { return data_; }

private:
    MissingClassData data_;
};

// The saved data when `target` is one of the placeholders, else null.
const MissingClassData* missingClassData(ReferenceTarget* target);

}  // namespace host
