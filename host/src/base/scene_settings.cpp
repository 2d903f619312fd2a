#include "host/scene_settings.h"

namespace host {

SceneSettings& sceneSettings() {
    static SceneSettings settings;
    return settings;
}

}  // namespace host
