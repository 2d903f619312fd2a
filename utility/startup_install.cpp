#include "utility/startup_install.h"

#include <cstdio>

#include "max/interface.h"
#include "max/maxscript.h"
#include "utility/script_bridge.h"

namespace wx {

std::string weatherMacroText() {
    return "macroScript TarnwickWeather category:\"TarnwickFX\" buttonText:\"Weather\" tooltip:\"Tarnwick Weather - "
           "snow "
           "and rain presets\" (\r\n"
           "  on execute do ( UtilityPanel.OpenUtility TarnwickWeather )\r\n"
           ")\r\n";
}

void installAtStartup() {
    const MCHAR* dir = GetCOREInterface()->GetDir(APP_USER_MACROS_DIR);
    if (dir && *dir) {
        const std::wstring path = std::wstring(dir) + L"/" + kMacroFileName;
        if (FILE* f = std::fopen(MSTR(path).ToUTF8().c_str(), "wb")) {
            const std::string text = weatherMacroText();
            const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
            const bool closed = std::fclose(f) == 0;
            if (written && closed)
                ExecuteMAXScriptScript(fileInExpression(path).c_str(), MAXScript::ScriptSource::NonEmbedded, TRUE,
                                       nullptr, TRUE);
        }
    }
    installMaterialsScript();
}

}  // namespace wx
