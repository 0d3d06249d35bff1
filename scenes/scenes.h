// The twelve scenes of the show.
#pragma once

#include <memory>
#include <string_view>

#include "scenes/scene.h"
#include "scenes/scene2_particles.h"
#include "shaders/shader_texts.h"

namespace scene_name {
inline constexpr char Sceneb[] = "Sceneb", Scenew[] = "Scenew", Scene0[] = "Scene0", Scene1[] = "Scene1",
                      Scene2[] = "Scene2", Scene3[] = "Scene3", Scene4[] = "Scene4", Scene5[] = "Scene5",
                      Scene5_1[] = "Scene5_1", Scene6[] = "Scene6", Scene7[] = "Scene7", Scene8[] = "Scene8";
}  // namespace scene_name

#define TESSELUNE_SCENE(Name) \
    class Name final : public ShaderScene<scene_name::Name, shader_text::Name> {}

TESSELUNE_SCENE(Sceneb);  // opaque black
TESSELUNE_SCENE(Scenew);  // opaque white
TESSELUNE_SCENE(Scene0);
TESSELUNE_SCENE(Scene1);
TESSELUNE_SCENE(Scene3);
TESSELUNE_SCENE(Scene4);
TESSELUNE_SCENE(Scene5);
TESSELUNE_SCENE(Scene5_1);
TESSELUNE_SCENE(Scene6);
TESSELUNE_SCENE(Scene7);
TESSELUNE_SCENE(Scene8);

#undef TESSELUNE_SCENE

// The scenes in the order the show builds them.
enum class SceneId {
    Sceneb,
    Scenew,
    Scene0,
    Scene1,
    Scene2,
    Scene3,
    Scene4,
    Scene5,
    Scene5_1,
    Scene6,
    Scene7,
    Scene8
};
constexpr int kSceneCount = 12;
inline constexpr const char* kSceneNames[kSceneCount] = {
    scene_name::Sceneb,   scene_name::Scenew, scene_name::Scene0, scene_name::Scene1,
    scene_name::Scene2,   scene_name::Scene3, scene_name::Scene4, scene_name::Scene5,
    scene_name::Scene5_1, scene_name::Scene6, scene_name::Scene7, scene_name::Scene8,
};

// A new scene of the class `id` names, not yet initialised.
std::unique_ptr<SceneBase> MakeScene(SceneId id);
// The scene of a class name such as "Scene5_1"; false for a name of none.
bool FindScene(std::string_view name, SceneId& id);
