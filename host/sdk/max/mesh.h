// Triangle meshes: Face (corners, smoothing groups, material id in the high 16 bits of the
// flags, edge visibility), map channels (0 = vertex colour, 1 = default UVW, 2-99 extra,
// -1 and -2 hidden) with one map face per geometric face, and specified normals.
// The SDK's public raw arrays (verts, faces, maps) are kept; they point into vectors owned
// by the mesh and are re-pointed on every resize and copy, so never cache them across a
// resize. New elements are zeroed (the SDK leaves them uninitialised). Not thread-safe.
#pragma once

#include <vector>

#include "max/box3.h"

constexpr DWORD EDGE_A = 1, EDGE_B = 2, EDGE_C = 4, EDGE_ALL = 7;
constexpr DWORD FACE_HIDDEN = 1u << 3;
constexpr int EDGE_VIS = 1, EDGE_INVIS = 0;
constexpr int FACE_MATID_SHIFT = 16;
constexpr DWORD FACE_MATID_MASK = 0xFFFF;
constexpr int MAX_MESHMAPS = 100;
constexpr int NUM_HIDDENMAPS = 2;
constexpr int MAP_SHADING = -1;
constexpr int MAP_ALPHA = -2;
constexpr DWORD MESHMAP_USED = 1, MESHMAP_TEXTURE = 2, MESHMAP_VERTCOLOR = 4;
constexpr DWORD MESH_OBJECT = 1, MESH_VERTEX = 2, MESH_FACE = 4, MESH_EDGE = 8;

class Face {
public:
    DWORD v[3] = {0, 0, 0};
    DWORD smGroup = 0;
    DWORD flags = 0;
    void setVerts(int a, int b, int c) {
        v[0] = DWORD(a);
        v[1] = DWORD(b);
        v[2] = DWORD(c);
    }
    void setVerts(const DWORD* p) {
        v[0] = p[0];
        v[1] = p[1];
        v[2] = p[2];
    }
    DWORD getVert(int i) const { return v[i]; }
    DWORD* getAllVerts() { return v; }
    void setSmGroup(DWORD g) { smGroup = g; }
    DWORD getSmGroup() const { return smGroup; }
    void setMatID(MtlID id) { flags = (flags & 0xFFFFu) | (DWORD(id) << FACE_MATID_SHIFT); }
    MtlID getMatID() const { return MtlID((flags >> FACE_MATID_SHIFT) & FACE_MATID_MASK); }
    void setEdgeVis(int edge, int vis);
    void setEdgeVisFlags(int va, int vb, int vc);
    int getEdgeVis(int edge) const { return (flags & (1u << edge)) ? EDGE_VIS : EDGE_INVIS; }
    void Hide() { flags |= FACE_HIDDEN; }
    void Show() { flags &= ~FACE_HIDDEN; }
    bool Hidden() const { return (flags & FACE_HIDDEN) != 0; }
};

class TVFace {
public:
    DWORD t[3] = {0, 0, 0};
    void setTVerts(int a, int b, int c) {
        t[0] = DWORD(a);
        t[1] = DWORD(b);
        t[2] = DWORD(c);
    }
    DWORD getTVert(int i) const { return t[i]; }
};

using UVVert = Point3;
using VertColor = Point3;

class MeshMap {
public:
    DWORD flags = 0;
    UVVert* tv = nullptr;
    TVFace* tf = nullptr;
    int vnum = 0;
    int fnum = 0;

    MeshMap() = default;
    MeshMap(const MeshMap& o) { *this = o; }
    MeshMap& operator=(const MeshMap& o);
    void setNumVerts(int n, BOOL keep = FALSE);
    void setNumFaces(int n, BOOL keep = FALSE, int oldCt = 0);
    int getNumVerts() const { return vnum; }
    int getNumFaces() const { return fnum; }
    BOOL IsUsed() const { return (flags & MESHMAP_USED) ? TRUE : FALSE; }
    void Clear();

private:
    void sync();
    std::vector<UVVert> verts_;
    std::vector<TVFace> faces_;
};

class Mesh;

class MeshNormalFace {
public:
    void SetNormalID(int corner, int id) { id_[corner] = id; }
    int GetNormalID(int corner) const { return id_[corner]; }
    void SpecifyNormalID(int corner, int id) {
        id_[corner] = id;
        spec_[corner] = true;
    }
    void SpecifyAll(bool value = true) { spec_[0] = spec_[1] = spec_[2] = value; }
    void SetSpecified(int corner, bool value = true) { spec_[corner] = value; }
    bool GetSpecified(int corner) const { return spec_[corner]; }

private:
    int id_[3] = {-1, -1, -1};
    bool spec_[3] = {false, false, false};
};

constexpr DWORD MESH_NORMAL_NORMALS_BUILT = 0x1;
constexpr DWORD MESH_NORMAL_NORMALS_COMPUTED = 0x2;
constexpr DWORD MESH_NORMAL_MODIFIER_SUPPORT = 0x20;

// Specified normals: each face corner may name a normal of its own.
class MeshNormalSpec {
public:
    bool SetNumFaces(int n);
    int GetNumFaces() const { return int(faces_.size()); }
    bool SetNumNormals(int n);
    int GetNumNormals() const { return int(normals_.size()); }
    Point3& Normal(int id) { return normals_[id]; }
    Point3* GetNormalArray() { return normals_.data(); }
    void SetNormalExplicit(int id, bool value) { explicit_[id] = value; }
    bool GetNormalExplicit(int id) const { return explicit_[id]; }
    void SetAllExplicit(bool value = true);
    MeshNormalFace& Face(int fid) { return faces_[fid]; }
    const MeshNormalFace& Face(int fid) const { return faces_[fid]; }
    void SetParent(Mesh* mesh) { parent_ = mesh; }
    Mesh* GetParent() { return parent_; }
    // Fills every normal that is not explicit from the parent's faces (area-weighted face
    // normals of the faces that use it) and normalises all of them; corners without a normal
    // id get one shared per vertex.
    void CheckNormals();
    void BuildNormals() { CheckNormals(); }
    void ComputeNormals() { CheckNormals(); }
    void Clear();
    DWORD GetFlags() const { return flags_; }
    void SetFlag(DWORD f, bool value = true) { flags_ = value ? (flags_ | f) : (flags_ & ~f); }

private:
    Mesh* parent_ = nullptr;
    std::vector<Point3> normals_;
    std::vector<bool> explicit_;
    std::vector<MeshNormalFace> faces_;
    DWORD flags_ = 0;
};

class Mesh {
public:
    int numVerts = 0;
    int numFaces = 0;
    Point3* verts = nullptr;
    Face* faces = nullptr;
    int numMaps = 0;
    MeshMap* maps = nullptr;
    MeshMap hmaps[NUM_HIDDENMAPS];
    DWORD selLevel = MESH_OBJECT;

    Mesh();
    Mesh(const Mesh& o);
    Mesh& operator=(const Mesh& o);
    ~Mesh();

    BOOL setNumVerts(int n, BOOL keep = FALSE, BOOL synchSel = TRUE);
    int getNumVerts() const { return numVerts; }
    // Also resizes the face arrays of every supported map channel (new map faces are 0,0,0).
    BOOL setNumFaces(int n, BOOL keep = FALSE, BOOL synchSel = TRUE);
    int getNumFaces() const { return numFaces; }
    void setVert(int i, const Point3& p) { verts[i] = p; }
    void setVert(int i, float x, float y, float z) { verts[i] = Point3(x, y, z); }
    Point3& getVert(int i) { return verts[i]; }
    Point3* getVertPtr(int i) { return verts + i; }

    void setNumMaps(int ct, BOOL keep = FALSE);
    int getNumMaps() const { return numMaps; }
    BOOL mapSupport(int mp) const;
    void setMapSupport(int mp, BOOL support = TRUE);
    MeshMap& Map(int mp) { return mp < 0 ? hmaps[-1 - mp] : maps[mp]; }
    const MeshMap& Map(int mp) const { return mp < 0 ? hmaps[-1 - mp] : maps[mp]; }
    void setNumMapVerts(int mp, int ct, BOOL keep = FALSE) { Map(mp).setNumVerts(ct, keep); }
    int getNumMapVerts(int mp) const { return validMap(mp) ? Map(mp).vnum : 0; }
    UVVert* mapVerts(int mp) { return validMap(mp) ? Map(mp).tv : nullptr; }
    void setNumMapFaces(int mp, int ct, BOOL keep = FALSE, int oldCt = 0) { Map(mp).setNumFaces(ct, keep, oldCt); }
    TVFace* mapFaces(int mp) { return validMap(mp) ? Map(mp).tf : nullptr; }
    // Legacy shortcuts to channel 1 (UVW) and channel 0 (vertex colour).
    void setNumTVerts(int ct, BOOL keep = FALSE);
    void setNumTVFaces(int ct, BOOL keep = FALSE, int oldCt = 0);
    void setNumVertCol(int ct, BOOL keep = FALSE);
    void setNumVCFaces(int ct, BOOL keep = FALSE, int oldCt = 0);

    // Face and vertex normals honouring smoothing groups.
    void buildNormals();
    void checkNormals(BOOL illum);
    Point3 FaceNormal(DWORD fi, BOOL normalize = FALSE) const;
    Point3& getFaceNormal(int fi) { return faceNormals_[fi]; }
    // Normal of vertex `v` as seen from face `fi` (after buildNormals).
    Point3 getNormal(int fi, int corner) const;
    int normalsBuilt() const { return normalsValid_ ? 1 : 0; }
    void buildBoundingBox();
    Box3 getBoundingBox(Matrix3* tm = nullptr);
    void InvalidateGeomCache();
    void InvalidateTopologyCache();

    void SpecifyNormals();
    MeshNormalSpec* GetSpecifiedNormals() { return normalSpec_; }
    void ClearSpecifiedNormals();

    // Removes everything: vertices, faces, map channels and normals.
    void FreeAll();

private:
    bool validMap(int mp) const { return (mp < 0 && mp >= -NUM_HIDDENMAPS) || (mp >= 0 && mp < numMaps); }
    void syncPointers();
    std::vector<Point3> vertStore_;
    std::vector<Face> faceStore_;
    std::vector<MeshMap> mapStore_;
    // Cached normals: one per face, and per face corner (smoothing-group aware).
    std::vector<Point3> faceNormals_;
    std::vector<Point3> cornerNormals_;
    bool normalsValid_ = false;
    Box3 bbox_;
    bool bboxValid_ = false;
    MeshNormalSpec* normalSpec_ = nullptr;
};
