// PNG snapshots through libpng's simplified API.
#include <platform/ui/png.h>

#include <png.h>

#include <system_error>
#include <unistd.h>

namespace platform::ui {

std::string WritePng(const Surface& surface, const std::filesystem::path& path) {
    if (surface.width <= 0 || surface.height <= 0 ||
        surface.pixels.size() != static_cast<size_t>(surface.width) * surface.height)
        return "the surface has no pixels";
    std::vector<png_byte> rgb(surface.pixels.size() * 3);
    for (size_t i = 0; i < surface.pixels.size(); ++i) {
        rgb[i * 3] = static_cast<png_byte>(surface.pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<png_byte>(surface.pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<png_byte>(surface.pixels[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(surface.width);
    image.height = static_cast<png_uint_32>(surface.height);
    image.format = PNG_FORMAT_RGB;
    std::filesystem::path temporary = path;
    temporary += ".tmp" + std::to_string(::getpid());
    if (!png_image_write_to_file(&image, temporary.c_str(), 0, rgb.data(), 0, nullptr)) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return "cannot write " + path.string() + ": " + image.message;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return "cannot write " + path.string() + ": " + error.message();
    }
    return {};
}

std::optional<Surface> ReadPng(const std::filesystem::path& path, std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    auto fail = [&](const std::string& why) -> std::optional<Surface> {
        if (error) *error = "cannot read " + path.string() + ": " + why;
        png_image_free(&image);
        return std::nullopt;
    };
    if (!png_image_begin_read_from_file(&image, path.c_str())) return fail(image.message);
    if (image.width > 16384 || image.height > 16384) return fail("picture too large");
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return fail(image.message);
    Surface surface(static_cast<int>(image.width), static_cast<int>(image.height));
    for (size_t i = 0; i < surface.pixels.size(); ++i)
        surface.pixels[i] = (static_cast<uint32_t>(rgb[i * 3]) << 16) | (rgb[i * 3 + 1] << 8) | rgb[i * 3 + 2];
    return surface;
}

}  // namespace platform::ui
