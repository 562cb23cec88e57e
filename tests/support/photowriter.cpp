#include "photowriter.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <png.h>
#include <vector>

namespace photowriter {

namespace {

// One row of the smooth picture: red across, green down, blue both ways.
void fillRow(std::vector<unsigned char>& row, int y, int width, int height)
{
    for (int x = 0; x < width; ++x) {
        row[size_t(x) * 3] = static_cast<unsigned char>(x * 255 / width);
        row[size_t(x) * 3 + 1] = static_cast<unsigned char>(y * 255 / height);
        row[size_t(x) * 3 + 2] = static_cast<unsigned char>((x + y) * 127 / (width + height) + 64);
    }
}

} // namespace

QByteArray smoothJpeg(int width, int height, bool progressive, bool fullColour)
{
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr jerr {};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    const int luma = fullColour ? 1 : 2;
    cinfo.comp_info[0].h_samp_factor = luma;
    cinfo.comp_info[0].v_samp_factor = luma;
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        fillRow(row, int(cinfo.next_scanline), width, height);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(outSize));
    free(out);
    return bytes;
}

QByteArray smoothPng(int width, int height)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    QByteArray bytes;
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, png_size_t length) {
            static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), qsizetype(length));
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);
    png_set_filter(png, 0, PNG_FILTER_SUB);
    png_write_info(png, info);
    std::vector<unsigned char> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        fillRow(row, y, width, height);
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

} // namespace photowriter
