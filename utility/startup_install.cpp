#include "utility/startup_install.h"

#include <cstdio>

#include "common/atomic_file.h"
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
        std::string error;
        if (writeFileAtomically(MSTR(path).ToUTF8().c_str(), weatherMacroText(), error))
            ExecuteMAXScriptScript(fileInExpression(path).c_str(), MAXScript::ScriptSource::NonEmbedded, TRUE, nullptr,
                                   TRUE);
    }
    installMaterialsScript();
}

}  // namespace wx
