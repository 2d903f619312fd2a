#include <gtest/gtest.h>

#include "max/mesh.h"

namespace {

// Two triangles making a unit quad in z = 0, both facing +Z.
Mesh quad() {
    Mesh m;
    m.setNumVerts(4);
    m.setVert(0, 0, 0, 0);
    m.setVert(1, 1, 0, 0);
    m.setVert(2, 1, 1, 0);
    m.setVert(3, 0, 1, 0);
    m.setNumFaces(2);
    m.faces[0].setVerts(0, 1, 2);
    m.faces[1].setVerts(2, 3, 0);
    return m;
}

TEST(Mesh, FaceFlagsKeepMaterialAndEdgesApart) {
    Face f;
    f.setEdgeVisFlags(EDGE_VIS, EDGE_INVIS, EDGE_VIS);
    f.setMatID(0xBEEF);
    EXPECT_EQ(f.getMatID(), 0xBEEF);
    EXPECT_EQ(f.getEdgeVis(0), EDGE_VIS);
    EXPECT_EQ(f.getEdgeVis(1), EDGE_INVIS);
    EXPECT_EQ(f.getEdgeVis(2), EDGE_VIS);
    f.setEdgeVis(1, EDGE_VIS);
    f.Hide();
    EXPECT_EQ(f.getMatID(), 0xBEEF);
    f.setMatID(3);
    EXPECT_EQ(f.flags & 0xFFFFu, EDGE_ALL | FACE_HIDDEN);
}

TEST(Mesh, MapChannelsFollowTheFaces) {
    Mesh m = quad();
    EXPECT_EQ(m.getNumMaps(), 2);
    EXPECT_FALSE(m.mapSupport(1));
    EXPECT_FALSE(m.mapSupport(50));
    m.setMapSupport(3);
    EXPECT_GE(m.getNumMaps(), 4);
    EXPECT_TRUE(m.mapSupport(3));
    EXPECT_FALSE(m.mapSupport(2));
    EXPECT_EQ(m.Map(3).getNumFaces(), m.numFaces);
    m.setMapSupport(MAP_ALPHA);
    EXPECT_TRUE(m.mapSupport(-2));
    EXPECT_EQ(m.Map(-2).fnum, 2);
    m.setNumMapVerts(3, 4);
    m.mapVerts(3)[2] = Point3(0.5f, 0.25f, 0);
    m.mapFaces(3)[1].setTVerts(2, 3, 0);
    // Growing the faces keeps map faces in step and their old contents.
    m.setNumFaces(3, TRUE);
    EXPECT_EQ(m.Map(3).fnum, 3);
    EXPECT_EQ(m.mapFaces(3)[1].getTVert(0), 2u);
    EXPECT_EQ(m.Map(-2).fnum, 3);
    // Copies are deep and their raw pointers are their own.
    Mesh copy = m;
    EXPECT_NE(copy.verts, m.verts);
    EXPECT_NE(copy.mapVerts(3), m.mapVerts(3));
    EXPECT_EQ(copy.mapVerts(3)[2], Point3(0.5f, 0.25f, 0));
    copy.mapVerts(3)[2] = Point3();
    EXPECT_EQ(m.mapVerts(3)[2], Point3(0.5f, 0.25f, 0));
    m.setMapSupport(3, FALSE);
    EXPECT_FALSE(m.mapSupport(3));
    EXPECT_EQ(m.getNumMapVerts(3), 0);
    EXPECT_EQ(m.mapVerts(99), nullptr);
}

TEST(Mesh, NormalsHonourSmoothingGroups) {
    // A tent: two faces meeting along the x axis at 90 degrees.
    Mesh m;
    m.setNumVerts(4);
    m.setVert(0, 0, 0, 0);
    m.setVert(1, 1, 0, 0);
    m.setVert(2, 0, -1, 1);
    m.setVert(3, 0, 1, 1);
    m.setNumFaces(2);
    m.faces[0].setVerts(0, 1, 3);
    m.faces[1].setVerts(1, 0, 2);
    m.buildNormals();
    EXPECT_NEAR(m.getNormal(0, 0).z, m.FaceNormal(0, TRUE).z, 1e-6);  // faceted
    m.faces[0].setSmGroup(1);
    m.faces[1].setSmGroup(1);
    m.InvalidateTopologyCache();
    m.checkNormals(TRUE);
    Point3 shared = m.getNormal(0, 0);
    EXPECT_NEAR(shared.y, 0.0f, 1e-6);
    EXPECT_NEAR(shared.z, 1.0f, 1e-6);
    EXPECT_NEAR(m.getBoundingBox().pmax.z, 1.0f, 1e-6);
    Matrix3 up = TransMatrix(Point3(0, 0, 5));
    EXPECT_NEAR(m.getBoundingBox(&up).pmin.z, 5.0f, 1e-6);
}

TEST(Mesh, SpecifiedNormalsComputeUnlessExplicit) {
    Mesh m = quad();
    m.SpecifyNormals();
    MeshNormalSpec* ns = m.GetSpecifiedNormals();
    ASSERT_NE(ns, nullptr);
    ns->SetNumFaces(m.numFaces);
    ns->SetNumNormals(2);
    ns->Normal(0) = Point3(1, 0, 0);
    ns->SetNormalExplicit(0, true);
    for (int f = 0; f < 2; ++f) {
        ns->Face(f).SpecifyAll();
        for (int c = 0; c < 3; ++c) ns->Face(f).SetNormalID(c, f == 0 && c == 0 ? 0 : 1);
    }
    ns->CheckNormals();
    EXPECT_EQ(ns->Normal(0), Point3(1, 0, 0));
    EXPECT_NEAR(ns->Normal(1).z, 1.0f, 1e-6);
    EXPECT_TRUE(ns->Face(1).GetSpecified(2));
    Mesh copy = m;
    ASSERT_NE(copy.GetSpecifiedNormals(), nullptr);
    EXPECT_NE(copy.GetSpecifiedNormals(), ns);
    EXPECT_EQ(copy.GetSpecifiedNormals()->GetParent(), &copy);
    m.ClearSpecifiedNormals();
    EXPECT_EQ(m.GetSpecifiedNormals(), nullptr);
}

}  // namespace
