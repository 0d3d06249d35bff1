// The show's scenes, made from the one list in shaders/scene_list.h.
#pragma once

#include <memory>
#include <string_view>

#include "scenes/scene.h"
#include "scenes/scene2_particles.h"
#include "shaders/scene_list.h"
#include "shaders/shader_texts.h"

#define TESSELUNE_SCENE_NAME(Name, field, kind) inline constexpr char Name[] = #Name;
namespace scene_name {
TESSELUNE_SCENES(TESSELUNE_SCENE_NAME)
}  // namespace scene_name
#undef TESSELUNE_SCENE_NAME

// The scene classes: Sceneb is opaque black, Scenew opaque white, the others the show's effects. A scene
// drawn by its fragment text alone is a ShaderScene; one with a class of its own is declared in its header
// above.
#define TESSELUNE_SCENE_CLASS_ShaderScene(Name) \
    class Name final : public ShaderScene<scene_name::Name, shader_text::Name> {};
#define TESSELUNE_SCENE_CLASS_OwnClass(Name)
#define TESSELUNE_SCENE_CLASS(Name, field, kind) TESSELUNE_SCENE_CLASS_##kind(Name)
TESSELUNE_SCENES(TESSELUNE_SCENE_CLASS)
#undef TESSELUNE_SCENE_CLASS
#undef TESSELUNE_SCENE_CLASS_OwnClass
#undef TESSELUNE_SCENE_CLASS_ShaderScene

// The scenes in the order the show builds them.
#define TESSELUNE_SCENE_ID(Name, field, kind) Name,
enum class SceneId { TESSELUNE_SCENES(TESSELUNE_SCENE_ID) };
#undef TESSELUNE_SCENE_ID

#define TESSELUNE_SCENE_STRING(Name, field, kind) scene_name::Name,
inline constexpr const char* kSceneNames[] = {TESSELUNE_SCENES(TESSELUNE_SCENE_STRING)};
#undef TESSELUNE_SCENE_STRING
constexpr int kSceneCount = static_cast<int>(std::size(kSceneNames));

// A new scene of the class `id` names, not yet initialised.
std::unique_ptr<SceneBase> MakeScene(SceneId id);
// The scene of a class name such as "Scene5_1"; false for a name of none.
bool FindScene(std::string_view name, SceneId& id);
