#include "max/mesh.h"

#include <algorithm>

void Face::setEdgeVis(int edge, int vis) {
    DWORD bit = 1u << edge;
    flags = vis ? (flags | bit) : (flags & ~bit);
}

void Face::setEdgeVisFlags(int va, int vb, int vc) {
    setEdgeVis(0, va);
    setEdgeVis(1, vb);
    setEdgeVis(2, vc);
}

MeshMap& MeshMap::operator=(const MeshMap& o) {
    if (this == &o) return *this;
    flags = o.flags;
    verts_ = o.verts_;
    faces_ = o.faces_;
    sync();
    return *this;
}

void MeshMap::sync() {
    vnum = int(verts_.size());
    fnum = int(faces_.size());
    tv = verts_.empty() ? nullptr : verts_.data();
    tf = faces_.empty() ? nullptr : faces_.data();
}

void MeshMap::setNumVerts(int n, BOOL keep) {
    n = std::max(0, n);
    if (!keep) verts_.clear();
    verts_.resize(n);
    sync();
}

void MeshMap::setNumFaces(int n, BOOL keep, int) {
    n = std::max(0, n);
    if (!keep) faces_.clear();
    faces_.resize(n);
    sync();
}

void MeshMap::Clear() {
    flags = 0;
    verts_.clear();
    faces_.clear();
    sync();
}

bool MeshNormalSpec::SetNumFaces(int n) {
    faces_.resize(std::max(0, n));
    return true;
}

bool MeshNormalSpec::SetNumNormals(int n) {
    normals_.resize(std::max(0, n));
    explicit_.resize(normals_.size(), false);
    return true;
}

void MeshNormalSpec::SetAllExplicit(bool value) {
    std::fill(explicit_.begin(), explicit_.end(), value);
}

void MeshNormalSpec::Clear() {
    normals_.clear();
    explicit_.clear();
    faces_.clear();
    flags_ = 0;
}

void MeshNormalSpec::CheckNormals() {
    if (!parent_) return;
    Mesh& m = *parent_;
    SetNumFaces(m.numFaces);
    if (GetNumNormals() < m.numVerts) {
        bool anyUnset = false;
        for (const MeshNormalFace& f : faces_)
            for (int c = 0; c < 3; ++c) anyUnset |= f.GetNormalID(c) < 0 || f.GetNormalID(c) >= GetNumNormals();
        if (anyUnset) SetNumNormals(std::max(GetNumNormals(), m.numVerts));
    }
    for (int fi = 0; fi < m.numFaces; ++fi)
        for (int c = 0; c < 3; ++c) {
            int id = faces_[fi].GetNormalID(c);
            if (id < 0 || id >= GetNumNormals()) faces_[fi].SetNormalID(c, int(m.faces[fi].v[c]));
        }
    std::vector<Point3> sum(normals_.size());
    for (int fi = 0; fi < m.numFaces; ++fi) {
        Point3 n = m.FaceNormal(DWORD(fi), FALSE);  // length = twice the area: area weighting
        for (int c = 0; c < 3; ++c) sum[faces_[fi].GetNormalID(c)] += n;
    }
    for (size_t i = 0; i < normals_.size(); ++i)
        normals_[i] = explicit_[i] ? normals_[i].Normalize() : sum[i].Normalize();
    flags_ |= MESH_NORMAL_NORMALS_BUILT | MESH_NORMAL_NORMALS_COMPUTED;
}

Mesh::Mesh() {
    setNumMaps(2);
}

Mesh::Mesh(const Mesh& o) {
    *this = o;
}

Mesh& Mesh::operator=(const Mesh& o) {
    if (this == &o) return *this;
    vertStore_ = o.vertStore_;
    faceStore_ = o.faceStore_;
    mapStore_ = o.mapStore_;
    for (int k = 0; k < NUM_HIDDENMAPS; ++k) hmaps[k] = o.hmaps[k];
    selLevel = o.selLevel;
    faceNormals_.clear();
    cornerNormals_.clear();
    normalsValid_ = false;
    bboxValid_ = false;
    ClearSpecifiedNormals();
    if (o.normalSpec_) {
        normalSpec_ = new MeshNormalSpec(*o.normalSpec_);
        normalSpec_->SetParent(this);
    }
    syncPointers();
    return *this;
}

Mesh::~Mesh() {
    ClearSpecifiedNormals();
}

void Mesh::syncPointers() {
    numVerts = int(vertStore_.size());
    numFaces = int(faceStore_.size());
    numMaps = int(mapStore_.size());
    verts = vertStore_.empty() ? nullptr : vertStore_.data();
    faces = faceStore_.empty() ? nullptr : faceStore_.data();
    maps = mapStore_.empty() ? nullptr : mapStore_.data();
}

BOOL Mesh::setNumVerts(int n, BOOL keep, BOOL) {
    n = std::max(0, n);
    if (!keep) vertStore_.clear();
    vertStore_.resize(n);
    syncPointers();
    InvalidateGeomCache();
    return TRUE;
}

BOOL Mesh::setNumFaces(int n, BOOL keep, BOOL) {
    n = std::max(0, n);
    if (!keep) faceStore_.clear();
    faceStore_.resize(n);
    for (int mp = -NUM_HIDDENMAPS; mp < int(mapStore_.size()); ++mp)
        if (mapSupport(mp)) Map(mp).setNumFaces(n, keep);
    syncPointers();
    InvalidateTopologyCache();
    return TRUE;
}

void Mesh::setNumMaps(int ct, BOOL keep) {
    ct = std::clamp(ct, 0, MAX_MESHMAPS);
    if (!keep) mapStore_.clear();
    mapStore_.resize(ct);
    syncPointers();
}

BOOL Mesh::mapSupport(int mp) const {
    return validMap(mp) && Map(mp).IsUsed();
}

void Mesh::setMapSupport(int mp, BOOL support) {
    if (mp < -NUM_HIDDENMAPS || mp >= MAX_MESHMAPS) return;
    if (!support) {
        if (validMap(mp)) Map(mp).Clear();
        return;
    }
    if (mp >= numMaps) setNumMaps(mp + 1, TRUE);
    MeshMap& m = Map(mp);
    if (m.IsUsed()) return;
    m.flags |= MESHMAP_USED | (mp == 0 ? MESHMAP_VERTCOLOR : MESHMAP_TEXTURE);
    m.setNumFaces(numFaces, FALSE);
}

void Mesh::setNumTVerts(int ct, BOOL keep) {
    setMapSupport(1);
    Map(1).setNumVerts(ct, keep);
}
void Mesh::setNumTVFaces(int ct, BOOL keep, int oldCt) {
    setMapSupport(1);
    Map(1).setNumFaces(ct, keep, oldCt);
}
void Mesh::setNumVertCol(int ct, BOOL keep) {
    setMapSupport(0);
    Map(0).setNumVerts(ct, keep);
}
void Mesh::setNumVCFaces(int ct, BOOL keep, int oldCt) {
    setMapSupport(0);
    Map(0).setNumFaces(ct, keep, oldCt);
}

Point3 Mesh::FaceNormal(DWORD fi, BOOL normalize) const {
    const Face& f = faces[fi];
    Point3 a = verts[f.v[0]], b = verts[f.v[1]], c = verts[f.v[2]];
    Point3 n = (b - a) ^ (c - b);
    return normalize ? n.Normalize() : n;
}

void Mesh::buildNormals() {
    faceNormals_.resize(numFaces);
    cornerNormals_.assign(size_t(numFaces) * 3, Point3());
    // The faces around each vertex as one flat list (offsets per vertex), built in two
    // passes so a mesh of millions of faces costs no allocation per vertex.
    std::vector<int> first(size_t(numVerts) + 1, 0);
    for (int fi = 0; fi < numFaces; ++fi) {
        faceNormals_[fi] = FaceNormal(DWORD(fi), TRUE);
        for (int c = 0; c < 3; ++c)
            if (faces[fi].v[c] < DWORD(numVerts)) ++first[faces[fi].v[c] + 1];
    }
    for (int v = 0; v < numVerts; ++v) first[v + 1] += first[v];
    std::vector<int> around(static_cast<size_t>(first[numVerts]));
    std::vector<int> fill(first.begin(), first.end() - 1);
    for (int fi = 0; fi < numFaces; ++fi)
        for (int c = 0; c < 3; ++c)
            if (faces[fi].v[c] < DWORD(numVerts)) around[fill[faces[fi].v[c]]++] = fi;
    for (int fi = 0; fi < numFaces; ++fi)
        for (int c = 0; c < 3; ++c) {
            DWORD v = faces[fi].v[c];
            Point3 n = faceNormals_[fi];
            if (faces[fi].smGroup != 0 && v < DWORD(numVerts)) {
                n = Point3();
                for (int k = first[v]; k < first[v + 1]; ++k) {
                    const int other = around[k];
                    if (other == fi || (faces[other].smGroup & faces[fi].smGroup)) n += faceNormals_[other];
                }
                n = n.Normalize();
            }
            cornerNormals_[size_t(fi) * 3 + c] = n;
        }
    normalsValid_ = true;
}

void Mesh::checkNormals(BOOL illum) {
    if (illum && !normalsValid_) buildNormals();
}

Point3 Mesh::getNormal(int fi, int corner) const {
    if (!normalsValid_ || fi < 0 || fi >= numFaces) return Point3();
    return cornerNormals_[size_t(fi) * 3 + corner];
}

void Mesh::buildBoundingBox() {
    bbox_.Init();
    for (int i = 0; i < numVerts; ++i) bbox_ += verts[i];
    bboxValid_ = true;
}

Box3 Mesh::getBoundingBox(Matrix3* tm) {
    if (tm) {
        Box3 b;
        b.IncludePoints(verts, numVerts, tm);
        return b;
    }
    if (!bboxValid_) buildBoundingBox();
    return bbox_;
}

void Mesh::InvalidateGeomCache() {
    normalsValid_ = false;
    bboxValid_ = false;
}

void Mesh::InvalidateTopologyCache() {
    normalsValid_ = false;
    faceNormals_.clear();
    cornerNormals_.clear();
}

void Mesh::SpecifyNormals() {
    if (!normalSpec_) {
        normalSpec_ = new MeshNormalSpec();
        normalSpec_->SetParent(this);
    }
}

void Mesh::ClearSpecifiedNormals() {
    delete normalSpec_;
    normalSpec_ = nullptr;
}

void Mesh::FreeAll() {
    vertStore_.clear();
    faceStore_.clear();
    mapStore_.clear();
    for (MeshMap& m : hmaps) m.Clear();
    mapStore_.resize(2);
    ClearSpecifiedNormals();
    syncPointers();
    InvalidateTopologyCache();
    InvalidateGeomCache();
}
