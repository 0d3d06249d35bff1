#include "scenes/scenes.h"

std::unique_ptr<SceneBase> MakeScene(SceneId id) {
    switch (id) {
        case SceneId::Sceneb:
            return std::make_unique<Sceneb>();
        case SceneId::Scenew:
            return std::make_unique<Scenew>();
        case SceneId::Scene0:
            return std::make_unique<Scene0>();
        case SceneId::Scene1:
            return std::make_unique<Scene1>();
        case SceneId::Scene2:
            return std::make_unique<Scene2>();
        case SceneId::Scene3:
            return std::make_unique<Scene3>();
        case SceneId::Scene4:
            return std::make_unique<Scene4>();
        case SceneId::Scene5:
            return std::make_unique<Scene5>();
        case SceneId::Scene5_1:
            return std::make_unique<Scene5_1>();
        case SceneId::Scene6:
            return std::make_unique<Scene6>();
        case SceneId::Scene7:
            return std::make_unique<Scene7>();
        case SceneId::Scene8:
            return std::make_unique<Scene8>();
    }
    return nullptr;
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
