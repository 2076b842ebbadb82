#include "reg_text.h"
#include "registry_state.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace platform {
namespace registry {

State& TheRegistry() {
    static State* state = new State;  // lives as long as any thread may use the registry
    return *state;
}

namespace {

HiveResult WriteFileAtomically(const fs::path& file, const std::string& text) {
    const fs::path temporary = file.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) return {false, 0, "cannot write " + temporary.string()};
    }
    std::error_code error;
    fs::rename(temporary, file, error);
    if (error) return {false, 0, "cannot replace " + file.string() + ": " + error.message()};
    return {};
}

HiveResult ReadFileText(const fs::path& file, std::string& text) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {false, 0, "cannot open " + file.string()};
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return {};
}

HiveResult ImportLocked(State& state, std::string_view text) {
    Tree fresh;
    HiveResult result = ReadRegText(text, fresh);
    if (!result.ok) return result;
    state.tree = std::move(fresh);
    state.handles.clear();  // handles into the old tree would name keys that are gone
    return result;
}

}  // namespace

void WriteThrough(State& state) {
    if (state.boundFile) (void)WriteFileAtomically(*state.boundFile, WriteRegText(state.tree));
}

}  // namespace registry

using registry::TheRegistry;

HiveResult ImportRegistryText(std::string_view text) {
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    HiveResult result = registry::ImportLocked(state, text);
    if (result.ok) registry::WriteThrough(state);
    return result;
}

std::string ExportRegistryText() {
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    return registry::WriteRegText(state.tree);
}

HiveResult LoadRegistryFile(const fs::path& file) {
    std::string text;
    if (HiveResult read = registry::ReadFileText(file, text); !read.ok) return read;
    HiveResult result = ImportRegistryText(text);
    if (!result.ok) result.message = file.string() + ": " + result.message;
    return result;
}

HiveResult SaveRegistryFile(const fs::path& file) {
    return registry::WriteFileAtomically(file, ExportRegistryText());
}

HiveResult BindRegistryFile(const fs::path& file) {
    if (fs::exists(file)) {
        if (HiveResult result = LoadRegistryFile(file); !result.ok) return result;
    } else {
        ResetRegistry();
    }
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    state.boundFile = file;
    registry::WriteThrough(state);
    return {};
}

void UnbindRegistryFile() {
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    state.boundFile.reset();
}

void ResetRegistry() {
    auto& state = TheRegistry();
    std::lock_guard lock(state.mutex);
    state.tree = registry::Tree();
    state.handles.clear();
    state.boundFile.reset();
}

}  // namespace platform
