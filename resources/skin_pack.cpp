// Build-time tool: decodes the skin's PNG and JPEG pictures (libpng, libjpeg) into one
// pack of premultiplied BGRA pixels that the program embeds, so the program itself needs
// no image decoder.
//
// Pack layout (little-endian): "SKN1", u32 count, then per picture: u32 name length,
// name bytes (file name without extension), u32 width, u32 height, width*height*4 bytes.
//   skin_pack <output> <picture>...
#include <cstdint>
#include <cstdio>
#include <cstring>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <png.h>
#include <string>
#include <vector>

namespace {

struct Picture {
    std::string name;
    unsigned width = 0, height = 0;
    std::vector<unsigned char> bgra;
};

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool DecodePng(const std::string& path, Picture* picture) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_BGRA;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return false;
    picture->width = image.width;
    picture->height = image.height;
    picture->bgra = std::move(pixels);
    return true;
}

bool DecodeJpeg(const std::string& path, Picture* picture) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    picture->width = info.output_width;
    picture->height = info.output_height;
    picture->bgra.resize(size_t(info.output_width) * info.output_height * 4);
    std::vector<unsigned char> row(size_t(info.output_width) * 3);
    while (info.output_scanline < info.output_height) {
        unsigned y = info.output_scanline;
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        for (unsigned x = 0; x < info.output_width; ++x) {
            unsigned char* out = &picture->bgra[(size_t(y) * info.output_width + x) * 4];
            out[0] = row[x * 3 + 2];
            out[1] = row[x * 3 + 1];
            out[2] = row[x * 3 + 0];
            out[3] = 255;
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return true;
}

// Windows' AlphaBlend wants premultiplied colours.
void Premultiply(Picture* picture) {
    for (size_t i = 0; i + 3 < picture->bgra.size(); i += 4) {
        unsigned alpha = picture->bgra[i + 3];
        for (int c = 0; c < 3; ++c)
            picture->bgra[i + c] = (unsigned char)(picture->bgra[i + c] * alpha / 255);
    }
}

void PutU32(std::FILE* out, std::uint32_t value) {
    unsigned char bytes[4] = {(unsigned char)value, (unsigned char)(value >> 8),
                              (unsigned char)(value >> 16), (unsigned char)(value >> 24)};
    std::fwrite(bytes, 1, 4, out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: skin_pack <output> <picture>...\n");
        return 1;
    }
    std::vector<Picture> pictures;
    for (int i = 2; i < argc; ++i) {
        std::string path = argv[i];
        Picture picture;
        size_t slash = path.find_last_of('/');
        std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
        picture.name = file.substr(0, file.find_last_of('.'));
        bool ok = EndsWith(path, ".png") ? DecodePng(path, &picture)
                                         : (EndsWith(path, ".jpg") && DecodeJpeg(path, &picture));
        if (!ok) {
            std::fprintf(stderr, "skin_pack: cannot decode %s\n", path.c_str());
            return 1;
        }
        Premultiply(&picture);
        pictures.push_back(std::move(picture));
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 1;
    std::fwrite("SKN1", 1, 4, out);
    PutU32(out, std::uint32_t(pictures.size()));
    for (const Picture& p : pictures) {
        PutU32(out, std::uint32_t(p.name.size()));
        std::fwrite(p.name.data(), 1, p.name.size(), out);
        PutU32(out, p.width);
        PutU32(out, p.height);
        std::fwrite(p.bgra.data(), 1, p.bgra.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
