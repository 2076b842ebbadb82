// PNG snapshots of surfaces.
#pragma once

#include <platform/ui/surface.h>

#include <filesystem>
#include <optional>
#include <string>

namespace platform::ui {

// Writes the surface as an 8-bit RGB PNG. The picture goes to a temporary file that is renamed
// over `path`, so a failure never leaves a partial file. Gives "" or what went wrong.
[[nodiscard]] std::string WritePng(const Surface& surface, const std::filesystem::path& path);

// Reads any PNG (alpha is dropped); nothing, with the reason in `error`, when it cannot.
std::optional<Surface> ReadPng(const std::filesystem::path& path, std::string* error = nullptr);

}  // namespace platform::ui
