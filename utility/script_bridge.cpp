#include "utility/script_bridge.h"

#include <algorithm>
#include <filesystem>

#include "max/interface.h"
#include "max/maxscript.h"

namespace wx {

namespace {

bool gInstalled = false;
std::function<void()>& installer() {
    static std::function<void()> f;
    return f;
}

constexpr auto kSource = MAXScript::ScriptSource::NonEmbedded;

bool readText(const FPValue& v, std::wstring& out) {
    if (v.type == TYPE_STRING && v.s) {
        out = v.s;
        return true;
    }
    if (v.type == TYPE_TSTR) {
        out = *v.tstr;
        return true;
    }
    return false;
}

}  // namespace

bool runScript(const std::wstring& expression, std::wstring* outResult) {
    if (!gInstalled) installMaterialsScript();
    std::wstring text = L"global TarnwickWeatherLast = \"\"\ntry (TarnwickWeatherLast = ((" + expression +
                        L") as string)) catch (TarnwickWeatherLast = \"ERROR: \" + (getCurrentException()))";
    BOOL ran = ExecuteMAXScriptScript(text.c_str(), kSource, TRUE, nullptr, TRUE);
    std::wstring result;
    FPValue v;
    bool read = ExecuteMAXScriptScript(L"TarnwickWeatherLast", kSource, TRUE, &v, TRUE) && readText(v, result);
    if (outResult) *outResult = ran && read ? result : std::wstring();
    if (!ran || !read) return false;
    return !(result.size() >= 5 && result.compare(0, 5, L"ERROR") == 0);
}

void installMaterialsScript() {
    gInstalled = true;
    const MCHAR* dir = GetCOREInterface()->GetDir(APP_USER_SCRIPTS_DIR);
    if (dir && *dir) {
        std::error_code ignored;
        std::filesystem::remove(std::filesystem::path(MSTR(dir).ToUTF8()) / "TarnwickWeather_Materials.ms", ignored);
    }
    if (installer()) installer()();
}

bool materialsScriptInstalled() {
    return gInstalled;
}
void setMaterialsInstaller(std::function<void()> f) {
    installer() = std::move(f);
}
void resetMaterialsScript() {
    gInstalled = false;
}

std::wstring nodeRef(INode* node) {
    if (!node) return L"undefined";
    return L"(maxOps.getNodeByHandle " + std::to_wstring(node->GetHandle()) + L")";
}

std::wstring scriptString(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        switch (c) {
            case L'"':
                out += L"\\\"";
                break;
            case L'\\':
                out += L"\\\\";
                break;
            case L'\n':
                out += L"\\n";
                break;
            case L'\r':
                out += L"\\r";
                break;
            case L'\t':
                out += L"\\t";
                break;
            default:
                out += c;
        }
    }
    return out + L"\"";
}

std::wstring fileInExpression(const std::wstring& path) {
    return L"try (fileIn " + scriptString(path) + L") catch ()";
}

std::wstring tornadoExportExpression(INode* tornado, const std::wstring& path) {
    std::wstring forward = path;
    std::replace(forward.begin(), forward.end(), L'\\', L'/');
    return L"tornadoCommand " + nodeRef(tornado) + L" \"exportwind\" " + scriptString(forward);
}

}  // namespace wx
