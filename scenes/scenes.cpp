#include "scenes/scenes.h"

#define TESSELUNE_SCENE_FACTORY(Name, field, kind) [] { return std::unique_ptr<SceneBase>(new Name); },
constexpr std::unique_ptr<SceneBase> (*kFactories[])() = {TESSELUNE_SCENES(TESSELUNE_SCENE_FACTORY)};
#undef TESSELUNE_SCENE_FACTORY

std::unique_ptr<SceneBase> MakeScene(SceneId id) {
    return kFactories[static_cast<int>(id)]();
}

bool FindScene(std::string_view name, SceneId& id) {
    for (int i = 0; i < kSceneCount; ++i) {
        if (name == kSceneNames[i]) {
            id = static_cast<SceneId>(i);
            return true;
        }
    }
    return false;
}
