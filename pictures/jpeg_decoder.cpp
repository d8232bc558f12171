// JPEG decoder over the JPEG library's release-6 interface (libjpeg-turbo).
//
// Baseline and progressive files, greyscale, colour and CMYK/YCCK, with the
// library's default decompression parameters: full size, accurate integer
// inverse DCT, smooth upsampling, no quantisation. Output is RGB, top-down.
//
// CMYK and YCCK files (4 components) are asked of the library as CMYK and
// turned into RGB as image viewers do: red = (255 − C)(255 − K) / 255 and so
// on. Files carrying an Adobe APP14 marker (Photoshop and nearly every CMYK
// writer) store the four values inverted, so for them red = C·K / 255 with the
// stored values. Any other component count is refused.
//
// Errors: the library's standard error manager is kept but its exit jumps
// back here (longjmp), and its warnings and trace messages are dropped. Only
// plain C data live in the frames a jump can skip: the decompressor, the
// managers and the input buffer sit in one struct owned by decodeJpeg, and
// the C++ output buffers are allocated between the two guarded phases.
//
// Hostile files: the output size is checked against kMaxPixelBytes before
// the library allocates its own buffers, the library's memory is capped (a
// progressive file keeps all its coefficients), and a file with an absurd
// number of progressive scans is stopped.
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h expects FILE and size_t declared

#include <jerror.h>
#include <jpeglib.h>

#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "decoders.h"
#include "limits.h"
#include "picture_source.h"

namespace pictures {
namespace {

constexpr std::size_t kInputChunkSize = 4096;
// What the library may claim for itself. A progressive file keeps every
// DCT coefficient of the image (2 bytes a sample) until its last scan; this
// covers any file within the pixel limit that a camera or editor writes.
constexpr long kMaxLibraryMemory = 512L * 1024 * 1024;
// Real progressive files have about ten scans; no encoder writes more than a
// few dozen. Each scan is a full pass over the coefficient blocks of its
// components even when it carries no data, so a few bytes of scan header cost
// a pass over the whole picture: 500 empty scans over a 100-megapixel frame
// declared in 5 kB took 25 s. 64 keeps that within a few passes of what a
// real progressive photo of the same size costs.
constexpr int kMaxScans = 64;

struct ErrorManager {
    jpeg_error_mgr pub;  // first: the library sees only this part
    std::jmp_buf jump;
};

struct SourceManager {
    jpeg_source_mgr pub;  // first: the library sees only this part
    PictureSource* source;
    // Data already whole in memory, handed to the library in place at the
    // first fill instead of in 4096-byte copies: libjpeg-turbo's fast Huffman
    // path runs only while a few kB of input lie ahead in the buffer, which a
    // 4096-byte buffer allows for a quarter of the time. Empty for a file.
    const JOCTET* inPlace;
    std::size_t inPlaceSize;
    bool deliveredData;  // at least one chunk of real data was handed over
    bool exhausted;      // the data ended; only fake end markers from now on
    JOCTET buffer[kInputChunkSize];
};

// Everything the library touches. Plain C data only, so a jump out of the
// library leaves nothing with a destructor behind.
struct JpegSession {
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    SourceManager source;
    jpeg_progress_mgr progress;
    bool created;       // jpeg_create_decompress has run
    bool allLinesRead;  // the picture is complete even if finishing fails
};

[[noreturn]] void jumpToLoader(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
void discardMessage(j_common_ptr) {}
void discardTrace(j_common_ptr, int) {}

[[noreturn]] void failWith(j_common_ptr cinfo, int code) {
    cinfo->err->msg_code = code;
    (*cinfo->err->error_exit)(cinfo);
    std::abort();  // error_exit never returns
}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

// Refills the 4096-byte buffer. When the data run out after some were
// delivered, an end-of-image marker stands in for the rest, so a truncated
// file still decodes to its full size; data that are empty from the start
// are an error.
boolean fillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    if (src->inPlaceSize > 0 && !src->deliveredData) {
        src->deliveredData = true;
        src->pub.next_input_byte = src->inPlace;
        src->pub.bytes_in_buffer = src->inPlaceSize;
        return TRUE;
    }
    if (src->inPlaceSize > 0) src->exhausted = true;  // everything was handed over at once
    std::size_t count = src->exhausted ? 0 : src->source->read(std::span<std::uint8_t>(src->buffer, kInputChunkSize));
    if (count == 0) {
        if (!src->deliveredData) failWith(reinterpret_cast<j_common_ptr>(cinfo), JERR_INPUT_EMPTY);
        src->exhausted = true;
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        count = 2;
    } else {
        src->deliveredData = true;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = count;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    if (count <= 0) return;
    auto remaining = static_cast<std::size_t>(count);
    while (remaining > src->pub.bytes_in_buffer) {
        remaining -= src->pub.bytes_in_buffer;
        fillInputBuffer(cinfo);
        // Skipping past the end lands on the stand-in end marker.
        if (src->exhausted) return;
    }
    src->pub.next_input_byte += remaining;
    src->pub.bytes_in_buffer -= remaining;
}

void watchScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        failWith(cinfo, JERR_NOT_COMPILED);  // any code will do: messages are dropped
}

void attachManagers(JpegSession& session, PictureSource& source, Bytes inPlace) noexcept {
    session.cinfo.err = jpeg_std_error(&session.error.pub);
    session.error.pub.error_exit = jumpToLoader;
    session.error.pub.output_message = discardMessage;
    session.error.pub.emit_message = discardTrace;

    session.source.pub.init_source = initSource;
    session.source.pub.fill_input_buffer = fillInputBuffer;
    session.source.pub.skip_input_data = skipInputData;
    session.source.pub.resync_to_restart = jpeg_resync_to_restart;
    session.source.pub.term_source = termSource;
    session.source.pub.next_input_byte = nullptr;
    session.source.pub.bytes_in_buffer = 0;
    session.source.source = &source;
    session.source.inPlace = inPlace.data();
    session.source.inPlaceSize = inPlace.size();

    session.progress.progress_monitor = watchScans;
}

// The decompression parameters: the library's defaults, except that a
// picture drawn small is decoded at a reduced scale. libjpeg's scaled inverse
// DCT (scale_num / 8) works on each 8 × 8 block as a whole, so the reduced
// picture's pixels are averages of the block's pixels, and most of the work
// of a full-size decode (the full inverse DCT, upsampling, colour conversion
// of every pixel) is skipped. The smallest scale whose output keeps at least
// twice the drawn size both ways is taken; full size when none of 1/8 to 7/8
// does. Entropy decoding still reads every byte of the file.
void configureDecompression(jpeg_decompress_struct& cinfo, DrawSizeHint hint) noexcept {
    if (hint.width <= 0 || hint.height <= 0) return;
    const std::uint64_t wantWidth = 2 * std::uint64_t(hint.width);
    const std::uint64_t wantHeight = 2 * std::uint64_t(hint.height);
    cinfo.scale_denom = 8;
    for (unsigned eighths = 1; eighths < 8; ++eighths) {
        cinfo.scale_num = eighths;
        jpeg_calc_output_dimensions(&cinfo);
        if (cinfo.output_width >= wantWidth && cinfo.output_height >= wantHeight) return;
    }
    cinfo.scale_num = 8;
}

// Phase 1, guarded: create the decompressor, read the header (an image is
// required) and work out the output size without allocating the output.
bool readHeader(JpegSession& session, DrawSizeHint hint) noexcept {
    if (setjmp(session.error.jump) != 0) return false;
    session.created = true;
    jpeg_create_decompress(&session.cinfo);
    session.cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
    session.cinfo.src = &session.source.pub;
    session.cinfo.progress = &session.progress;
    jpeg_read_header(&session.cinfo, TRUE);
    configureDecompression(session.cinfo, hint);
    jpeg_calc_output_dimensions(&session.cinfo);
    return true;
}

void convertLine(const JSAMPLE* line, std::uint8_t* out, const jpeg_decompress_struct& cinfo) noexcept {
    const JDIMENSION width = cinfo.output_width;
    if (cinfo.out_color_space == JCS_CMYK) {
        const bool inverted = cinfo.saw_Adobe_marker != 0;
        for (JDIMENSION x = 0; x < width; ++x, line += 4, out += 3) {
            const unsigned k = inverted ? line[3] : 255u - line[3];
            for (int i = 0; i < 3; ++i) {
                const unsigned ink = inverted ? line[i] : 255u - line[i];
                out[i] = static_cast<std::uint8_t>((ink * k + 127u) / 255u);
            }
        }
    } else if (cinfo.output_components == 1) {
        for (JDIMENSION x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = line[x];
    } else {  // 3 components: red, green, blue
        for (JDIMENSION x = 0; x < width * 3u; ++x) out[x] = line[x];
    }
}

// Phase 2, guarded: start decompression. A progressive file is read in
// whole here, into the library's own (capped) coefficient buffers.
bool startDecompress(JpegSession& session) noexcept {
    if (setjmp(session.error.jump) != 0) return false;
    jpeg_decompress_struct& cinfo = session.cinfo;
    const JDIMENSION width = cinfo.output_width;
    const JDIMENSION height = cinfo.output_height;
    const int components = cinfo.output_components;
    jpeg_start_decompress(&cinfo);
    // The output must be as announced, or the buffers sized from it would not fit.
    return cinfo.output_width == width && cinfo.output_height == height && cinfo.output_components == components;
}

// Phase 3, guarded: one scan line at a time into buffers sized for the output.
bool readLines(JpegSession& session, std::uint8_t* pixels, JSAMPLE* line) noexcept {
    if (setjmp(session.error.jump) != 0) return session.allLinesRead;
    jpeg_decompress_struct& cinfo = session.cinfo;
    const std::size_t outStride = std::size_t{cinfo.output_width} * 3;
    while (cinfo.output_scanline < cinfo.output_height) {
        std::uint8_t* out = pixels + std::size_t{cinfo.output_scanline} * outStride;
        JSAMPROW rows[1] = {line};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return false;
        convertLine(line, out, cinfo);
    }
    session.allLinesRead = true;
    // Reads on to the end marker; the picture stands even if that fails.
    jpeg_finish_decompress(&cinfo);
    return true;
}

struct SessionCloser {
    JpegSession& session;
    ~SessionCloser() {
        if (session.created) jpeg_destroy_decompress(&session.cinfo);
    }
};

DecodeResult decodeJpegFrom(PictureSource& source, DrawSizeHint hint, Bytes inPlace) {
    // Large (over 4 kB of buffer) and plain: on the heap, zeroed.
    auto session = std::make_unique<JpegSession>();
    SessionCloser closer{*session};
    attachManagers(*session, source, inPlace);

    if (!readHeader(*session, hint)) return Failure{FailureKind::Malformed, "rejected by the JPEG library"};
    const jpeg_decompress_struct& cinfo = session->cinfo;
    const bool cmyk = cinfo.out_color_space == JCS_CMYK && cinfo.output_components == 4;
    if (!cmyk && cinfo.output_components != 1 && cinfo.output_components != 3)
        return Failure{FailureKind::Unsupported, "component count other than 1, 3 or CMYK"};

    const auto pixelBytes = checkedPixelBytes(cinfo.output_width, cinfo.output_height, 3);
    if (!pixelBytes) return Failure{FailureKind::TooLarge, "picture larger than the pixel limit"};

    if (!startDecompress(*session)) return Failure{FailureKind::Malformed, "rejected by the JPEG library"};

    Picture picture;
    picture.kind = PictureKind::Jpeg;
    picture.width = static_cast<std::int32_t>(cinfo.output_width);
    picture.height = static_cast<std::int32_t>(cinfo.output_height);
    picture.pixels.resize(*pixelBytes);
    std::vector<JSAMPLE> line(std::size_t{cinfo.output_width} * static_cast<std::size_t>(cinfo.output_components));

    if (!readLines(*session, picture.pixels.data(), line.data()))
        return Failure{FailureKind::Malformed, "rejected by the JPEG library"};
    return picture;
}

DecodeResult decodeJpegGuarded(PictureSource& source, DrawSizeHint hint, Bytes inPlace) noexcept {
    try {
        return decodeJpegFrom(source, hint, inPlace);
    } catch (...) {  // std::bad_alloc from the output buffers
        return Failure{FailureKind::OutOfMemory, {}};
    }
}

}  // namespace

DecodeResult decodeJpeg(PictureSource& source, DrawSizeHint hint) noexcept {
    return decodeJpegGuarded(source, hint, {});
}

DecodeResult decodeJpeg(Bytes data, DrawSizeHint hint) noexcept {
    MemorySource source(data);
    return decodeJpegGuarded(source, hint, data);
}

}  // namespace pictures
