// Decoding picture files: our bitmap reader, libpng, libjpeg and giflib.
#include "base/Support_Picture.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include <gif_lib.h>
#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>
#include <png.h>

namespace kelvane {

namespace {

bool size_ok(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= max_image_side && h <= max_image_side &&
           w * h <= max_image_pixels;
}

std::optional<Bitmap24> decode_png_over_fill(const std::vector<uint8_t>& bytes,
                                             std::string* error) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    auto fail = [&](const char* why) -> std::optional<Bitmap24> {
        if (error) *error = png.message[0] ? png.message : why;
        png_image_free(&png);
        return std::nullopt;
    };
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
        return fail("unreadable PNG");
    if (!size_ok(png.width, png.height)) return fail("PNG too large");
    // Without an alpha channel in the output, libpng blends the picture over this colour.
    png_color fill{uint8_t(picture_fill_colour & 255), uint8_t(picture_fill_colour >> 8 & 255),
                   uint8_t(picture_fill_colour >> 16 & 255)};
    png.format = PNG_FORMAT_BGR;
    Bitmap24 img(int32_t(png.width), int32_t(png.height));
    if (!png_image_finish_read(&png, &fill, img.pixels.data(), png_int_32(png.width) * 3, nullptr))
        return fail("damaged PNG");
    return img;
}

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back
// to the decoder. Only plain data lives between the setjmp and the jump.
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpeg_error_exit(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are quiet, except that data ending early fails the picture: a cut file must
// not turn into a large grey picture (nor cost the time to make one).
void jpeg_warning(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) jpeg_error_exit(info);
}

// Returns false on failure; `out` is sized here before any row is read.
bool decode_jpeg_rows(const std::vector<uint8_t>& bytes, Bitmap24& out, JpegError& err) {
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpeg_error_exit;
    err.mgr.emit_message = jpeg_warning;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
#ifdef JCS_EXTENSIONS
    info.out_color_space = JCS_EXT_BGR; // libjpeg-turbo writes our pixel order directly
#else
    info.out_color_space = JCS_RGB;
#endif
    jpeg_start_decompress(&info);
    if (!size_ok(info.output_width, info.output_height) || info.output_components != 3) {
        std::snprintf(err.message, sizeof err.message, "JPEG too large or of an odd kind");
        jpeg_destroy_decompress(&info);
        return false;
    }
    out.width = int32_t(info.output_width);
    out.height = int32_t(info.output_height);
    out.pixels.resize(size_t(out.width) * size_t(out.height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + size_t(info.output_scanline) * size_t(out.width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
#ifndef JCS_EXTENSIONS
    for (size_t i = 0; i < out.pixels.size(); i += 3) std::swap(out.pixels[i], out.pixels[i + 2]);
#endif
    return true;
}

std::optional<Bitmap24> decode_jpeg(const std::vector<uint8_t>& bytes, std::string* error) {
    Bitmap24 out;
    JpegError err;
    err.message[0] = 0;
    if (!decode_jpeg_rows(bytes, out, err)) {
        if (error) *error = err.message[0] ? err.message : "damaged JPEG";
        return std::nullopt;
    }
    return out;
}

struct GifSource {
    const std::vector<uint8_t>* bytes;
    size_t at;
};

int gif_read(GifFileType* gif, GifByteType* out, int n) {
    auto* src = static_cast<GifSource*>(gif->UserData);
    size_t left = src->bytes->size() - src->at;
    size_t take = n < 0 ? 0 : std::min(left, size_t(n));
    if (take == 0) return 0;
    std::memcpy(out, src->bytes->data() + src->at, take);
    src->at += take;
    return int(take);
}

} // namespace

std::optional<std::vector<uint8_t>> read_picture_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    std::streamoff size = in.tellg();
    if (size < 0 || size_t(size) > max_picture_file) return std::nullopt;
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!in) return std::nullopt;
    return bytes;
}

std::optional<Bitmap24> decode_picture_file(const std::vector<uint8_t>& bytes, std::string* error) {
    static const uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), png_signature, 8) == 0)
        return decode_png_over_fill(bytes, error);
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return decode_jpeg(bytes, error);
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        auto img = DecodeBmp(bytes.data(), bytes.size(), error);
        if (img && img->empty()) {
            if (error) *error = "empty bitmap";
            return std::nullopt;
        }
        return img;
    }
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "GIF8", 4) == 0) {
        auto frames = decode_gif_frames(bytes, error);
        if (!frames) return std::nullopt;
        return std::move(frames->front());
    }
    if (error) *error = "not a Windows bitmap, PNG, JPEG or GIF picture";
    return std::nullopt;
}

std::optional<std::vector<Bitmap24>> decode_gif_frames(const std::vector<uint8_t>& bytes,
                                                       std::string* error) {
    GifSource src{&bytes, 0};
    int code = 0;
    GifFileType* gif = DGifOpen(&src, gif_read, &code);
    auto fail = [&](const char* why) -> std::optional<std::vector<Bitmap24>> {
        if (error) *error = why;
        if (gif) DGifCloseFile(gif, &code);
        return std::nullopt;
    };
    if (!gif) return fail("not a GIF picture");
    const int64_t w = gif->SWidth, h = gif->SHeight;
    if (!size_ok(w, h)) return fail("GIF screen size not usable");
    std::vector<Bitmap24> frames;
    // The canvas is made once an image has been read whole: a damaged file with a large
    // screen size costs nothing.
    Bitmap24 canvas;
    std::vector<GifPixelType> raster;
    // The graphic control of the next image, from the extension that precedes it.
    GraphicsControlBlock gcb{};
    bool has_gcb = false;
    // Images are read one by one (not slurped) so that each image's size is checked
    // before anything is allocated for it.
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            // A file cut off after whole images still shows them, as viewers do.
            if (!frames.empty() && gif->Error == D_GIF_ERR_READ_FAILED) break;
            return fail("damaged GIF");
        }
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int ext_code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &ext_code, &ext) == GIF_ERROR) return fail("damaged GIF");
            if (ext_code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                has_gcb = DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK;
            }
            while (ext)
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) return fail("damaged GIF");
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) return fail("damaged GIF");
        if (DGifGetImageDesc(gif) == GIF_ERROR) return fail("damaged GIF");
        const GifImageDesc& d = gif->Image;
        if (!size_ok(d.Width, d.Height)) return fail("GIF image size not usable");
        if (int64_t(frames.size() + 1) * w * h > max_image_pixels) return fail("GIF too large");
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        if (!map || !map->Colors) return fail("GIF image without colours");
        raster.assign(size_t(d.Width) * size_t(d.Height), 0);
        static const int pass_start[4] = {0, 4, 2, 1}, pass_step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < (d.Interlace ? 4 : 1); ++pass) {
            int first = d.Interlace ? pass_start[pass] : 0,
                step = d.Interlace ? pass_step[pass] : 1;
            for (int y = first; y < d.Height; y += step)
                if (DGifGetLine(gif, &raster[size_t(y) * size_t(d.Width)], d.Width) == GIF_ERROR)
                    return fail("damaged GIF");
        }
        if (canvas.empty()) canvas = Bitmap24(int32_t(w), int32_t(h), picture_fill_colour);
        const int transparent = has_gcb ? gcb.TransparentColor : NO_TRANSPARENT_COLOR;
        for (int y = 0; y < d.Height; ++y) {
            const int64_t cy = int64_t(d.Top) + y;
            if (cy >= h) break;
            for (int x = 0; x < d.Width; ++x) {
                const int64_t cx = int64_t(d.Left) + x;
                if (cx >= w) break;
                int index = raster[size_t(y) * size_t(d.Width) + size_t(x)];
                if (index == transparent || index >= map->ColorCount) continue;
                const GifColorType& c = map->Colors[index];
                canvas.set_pixel(int32_t(cx), int32_t(cy),
                                 uint32_t(c.Red) | uint32_t(c.Green) << 8 | uint32_t(c.Blue) << 16);
            }
        }
        frames.push_back(canvas);
        if (!(has_gcb && gcb.DisposalMode == DISPOSE_DO_NOT)) canvas = Bitmap24();
        has_gcb = false;
    }
    if (frames.empty()) return fail("GIF without images");
    DGifCloseFile(gif, &code);
    return frames;
}

bool has_gif_extension(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (auto& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".gif";
}

} // namespace kelvane
