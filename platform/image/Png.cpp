#include "platform/image/Png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

namespace ORV::Gfx {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// libpng reports an error by longjmp back to writePng; the message is kept
// in the error pointer's buffer first. Only trivially destructible values are
// made between the setjmp and the calls that may jump.
void keepError(png_structp png, png_const_charp message)
{
    auto* text = static_cast<std::string*>(png_get_error_ptr(png));
    *text = message;
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

} // namespace

Core::Result<bool> writePng(const std::string& path, int width, int height, std::span<const std::uint32_t> argb)
{
    using Result = Core::Result<bool>;
    if (width <= 0 || height <= 0 || argb.size() != std::size_t(width) * std::size_t(height))
        return Result::failure(path + ": no image to write");
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return Result::failure(path + ": cannot be created");

    std::string error;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, keepError, ignoreWarning);
    if (!png) return Result::failure(path + ": out of memory");
    png_infop info = png_create_info_struct(png);
    struct Cleanup {
        png_structp* png;
        png_infop* info;
        ~Cleanup() { png_destroy_write_struct(png, info); }
    } cleanup{&png, &info};
    if (!info) return Result::failure(path + ": out of memory");

    std::vector<std::uint8_t> row(std::size_t(width) * 4);
    if (setjmp(png_jmpbuf(png))) return Result::failure(path + ": " + error);
    {
        png_init_io(png, file.get());
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = argb[std::size_t(y) * std::size_t(width) + std::size_t(x)];
                std::uint8_t* out = &row[std::size_t(x) * 4];
                out[0] = std::uint8_t(p >> 16);
                out[1] = std::uint8_t(p >> 8);
                out[2] = std::uint8_t(p);
                out[3] = std::uint8_t(p >> 24);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    if (std::fflush(file.get()) != 0) return Result::failure(path + ": cannot be written");
    return true;
}

} // namespace ORV::Gfx
