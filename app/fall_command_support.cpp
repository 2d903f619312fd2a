#include "app/fall_command_support.h"

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/cmd_scene.h"
#include "app/exit_codes.h"
#include "fall/weather_fall_fp.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "host/text.h"
#include "max/inode.h"
#include "max/object.h"
#include "max/units.h"

namespace tweather {

bool parseFrame(const std::string& text, double& frame) {
    if (text.empty()) return false;
    char* end = nullptr;
    frame = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(frame);
}

int readFrame(const std::string& text, double& frame, void (*fail)(const std::string&)) {
    if (parseFrame(text, frame)) return 0;
    fail("--frame must be a frame number, not '" + text + "'");
    return kExitUsage;
}

int checkOutputKind(const std::string& path, std::initializer_list<const char*> extensions, const std::string& what,
                    const std::string& kinds, void (*fail)(const std::string&)) {
    const std::string ext = host::extensionOf(path);
    for (const char* e : extensions)
        if (ext == e) return 0;
    fail(what + " '" + path + "' must be " + kinds);
    return kExitUsage;
}

int checkOutputFolder(const std::string& path, void (*fail)(const std::string&)) {
    if (folderWritable(path)) return 0;
    fail("cannot write '" + path + "' (check the folder exists and is writable)");
    return kExitIo;
}

int checkOutputFiles(const std::string& scenePath, const std::vector<NamedFile>& outputs,
                     void (*fail)(const std::string&)) {
    std::string error;
    const int rc = checkOutputs({{"the scene", scenePath}}, outputs, error);
    if (rc != 0) fail(error);
    return rc;
}

int openFallScene(bool sessionStarted, const std::string& scenePath, void (*fail)(const std::string&)) {
    return openSceneNeeding(sessionStarted, scenePath, L"WeatherFall", "falling weather", fail);
}

int frameToTicks(double frame, const std::string& frameText, void (*fail)(const std::string&), TimeValue& t) {
    const double ticks = std::round(frame * double(GetTicksPerFrame()));
    if (!(ticks >= double(INT_MIN) && ticks <= double(INT_MAX))) {
        fail("--frame " + frameText + " lies outside the scene's time range");
        return kExitUsage;
    }
    t = TimeValue(ticks);
    return 0;
}

bool folderWritable(const std::string& file) {
    std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty()) folder = ".";
    return ::access(folder.c_str(), W_OK) == 0;
}

wx::WeatherFallFP* fallOf(INode* node) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    Object* base = obj ? obj->FindBaseObject() : nullptr;
    if (!base) return nullptr;
    return static_cast<wx::WeatherFallFP*>(base->GetInterface(wx::kWeatherFallFPInterfaceID));
}

std::string nodeNameOf(INode* node) {
    return host::toUtf8(node->GetName());
}

int pickFall(const std::string& nodeName, const std::string& scenePath, void (*fail)(const std::string&),
             INode*& picked) {
    std::vector<INode*> falls;
    for (INode* node : host::currentScene().allNodes())
        if (fallOf(node)) falls.push_back(node);
    std::string names;
    for (INode* node : falls) names += (names.empty() ? "" : ", ") + nodeNameOf(node);
    if (!nodeName.empty()) {
        INode* named = nullptr;
        for (INode* node : host::currentScene().allNodes())
            if (nodeNameOf(node) == nodeName && (!named || fallOf(node))) named = node;
        if (!named || !fallOf(named)) {
            fail("--node '" + nodeName +
                 "': " + (named ? "that node holds no falling weather" : "no node has that name") +
                 "; the falling-weather nodes are: " + (names.empty() ? "(none)" : names));
            return kExitUsage;
        }
        picked = named;
        return 0;
    }
    if (falls.empty()) {
        fail("'" + scenePath + "' holds no falling weather (no Tarnwick Weather object)");
        return kExitIo;
    }
    if (falls.size() > 1) {
        fail("'" + scenePath + "' holds several falls; name one with --node: " + names);
        return kExitUsage;
    }
    picked = falls.front();
    return 0;
}

FallProgress::FallProgress(size_t total) : total_(total), shown_(total >= kShownFrom && isatty(STDERR_FILENO)) {}

FallProgress::~FallProgress() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
}

void FallProgress::say(const char* what) const {
    if (shown_) std::fprintf(stderr, "\r\033[Kfall: %s", what);
}

WriteProgress FallProgress::writing() const {
    if (!shown_) return {};
    return [total = total_](size_t done) {
        std::fprintf(stderr, "\r\033[Kfall: writing %zu particles: %zu%%", total, done * 100 / total);
    };
}

}  // namespace tweather
