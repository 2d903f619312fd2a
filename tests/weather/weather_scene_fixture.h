// A host scene with the weather glue linked in directly: the snow and fall classes
// registered, the materials library and TWeather installed, and helpers that build small
// scenes and read back what a render would show of them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "fall/weather_fall.h"
#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "host/script/interpreter.h"
#include "host/script_engine.h"
#include "host/undo_history.h"
#include "max/interface.h"
#include "max/object.h"
#include "plugin/live_modifiers.h"
#include "plugin/module_state.h"
#include "plugin/scene_capture.h"
#include "snow/snow_mod.h"
#include "utility/make_weather.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"
#include "utility/tweather_fp.h"
#include "weathermap/weather_map.h"

struct WeatherSceneTest : ::testing::Test {
    Interface* ip = GetCOREInterface();

    void SetUp() override {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        host::clearUndo();
        wx::discardScene();
        host::classRegistry().add(wx::GetSnowModDesc());
        host::classRegistry().add(wx::GetFallDesc());
        host::classRegistry().add(wx::GetWeatherMapDesc());
        wx::setMaterialsInstaller(wx::installMaterialsLibrary);
        wx::resetMaterialsScript();
        wx::setLastWeatherReport(L"earlier report");
        wx::installTWeatherInterface();
    }
    void TearDown() override {
        wx::setHostRendering(false);
        wx::uninstallTWeatherInterface();
        wx::uninstallMaterialsLibrary();
        wx::resetMaterialsScript();
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        host::clearUndo();
        host::classRegistry().remove(wx::GetWeatherMapDesc());
        host::classRegistry().remove(wx::GetFallDesc());
        host::classRegistry().remove(wx::GetSnowModDesc());
        wx::discardScene();
    }

    // A flat square of `size` centimetres with its centre at `at`.
    INode* addPlane(const wchar_t* name, float size, Point3 at) {
        INode* node = ip->CreateObjectNode(host::createPlane(size, size, 2, 2));
        node->SetName(name);
        node->SetPosition(0, at);
        return node;
    }
    INode* node(const wchar_t* name) { return ip->GetINodeByName(name); }
    static bool hasSnow(INode* node) {
        IDerivedObject* stack = node->GetWSMDerivedObject();
        for (int i = 0; stack && i < stack->NumModifiers(); ++i)
            if (dynamic_cast<wx::SnowMod*>(stack->GetModifier(i))) return true;
        return false;
    }
    int fallCount() {
        int n = 0;
        for (INode* node : host::currentScene().allNodes()) {
            Object* ref = node->GetObjectRef();
            if (ref && ref->FindBaseObject()->ClassID() == wx::kWeatherFallClassID) ++n;
        }
        return n;
    }
    std::wstring script(const std::wstring& text) { return host::scriptEngine().run(text).s; }

    using Triangle = std::array<float, 9>;
    // What a render shows of the node: its evaluated triangles in world space, sorted, each
    // triangle's corners rotated so the smallest comes first.
    std::vector<Triangle> worldTriangles(INode* node) {
        const ObjectState& os = node->EvalWorldState(0);
        Object* converted = os.obj->ConvertToType(0, triObjectClassID);
        Mesh& mesh = static_cast<TriObject*>(converted)->GetMesh();
        const Matrix3 tm = node->GetObjTMAfterWSM(0);
        std::vector<Triangle> out;
        for (int f = 0; f < mesh.getNumFaces(); ++f) {
            std::array<Point3, 3> c;
            for (int k = 0; k < 3; ++k) c[k] = mesh.verts[mesh.faces[f].v[k]] * tm;
            const int first = int(std::min_element(c.begin(), c.end(),
                                                   [](const Point3& a, const Point3& b) {
                                                       return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
                                                   }) -
                                  c.begin());
            std::rotate(c.begin(), c.begin() + first, c.end());
            out.push_back({c[0].x, c[0].y, c[0].z, c[1].x, c[1].y, c[1].z, c[2].x, c[2].y, c[2].z});
        }
        if (converted != os.obj) converted->DeleteThis();
        std::sort(out.begin(), out.end());
        return out;
    }
    // True when every triangle of `a` has its own match in `b` (same corners in the same
    // turning order, within `tolerance`) and both hold as many.
    static bool sameTriangles(const std::vector<Triangle>& a, const std::vector<Triangle>& b, float tolerance) {
        if (a.size() != b.size()) return false;
        std::vector<bool> used(b.size(), false);
        auto near = [&](const Triangle& x, const Triangle& y, int turn) {
            for (int k = 0; k < 9; ++k)
                if (std::fabs(x[size_t(k)] - y[size_t((k + 3 * turn) % 9)]) > tolerance) return false;
            return true;
        };
        for (const Triangle& x : a) {
            bool found = false;
            for (size_t j = 0; j < b.size() && !found; ++j)
                for (int turn = 0; turn < 3 && !found; ++turn)
                    if (!used[j] && near(x, b[j], turn)) found = used[j] = true;
            if (!found) return false;
        }
        return true;
    }
    // The triangles at render detail, as the renderer sees them: the flag set and the
    // scene gathered again, as the pre-render notification does.
    std::vector<Triangle> renderTriangles(INode* node) {
        wx::setHostRendering(true);
        wx::captureScene(0);
        std::vector<Triangle> out = worldTriangles(node);
        wx::setHostRendering(false);
        wx::invalidateAllSnowMods();
        return out;
    }
};
