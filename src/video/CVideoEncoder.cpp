#include "video/CVideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>

namespace vexar {

namespace {

// x264's speed and quality. "superfast" takes a fifth less processor time than "veryfast" (for
// files about twice as large), which keeps a 1080p video of a recording of 10 pings a second
// above four times real time on two cores; quality 23 keeps the texts and the speckle sharp.
constexpr const char* kPreset = "superfast";
constexpr const char* kQuality = "23";
// The colour conversion reads every pixel's colour (no scaling happens): bilinear is twice as
// fast as bicubic here and as good.
constexpr int kConversion = SWS_BILINEAR | SWS_FULL_CHR_H_INP;
// A key frame every two seconds, so that players can seek in a long video.
constexpr int kKeyFrameSeconds = 2;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The libraries would print their own messages on stderr; the job says what failed once.
void QuietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

} // namespace

struct CVideoEncoder::Ffmpeg {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;

    Ffmpeg() = default;
    Ffmpeg(const Ffmpeg&) = delete;
    Ffmpeg& operator=(const Ffmpeg&) = delete;
    ~Ffmpeg() {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format != nullptr) {
            avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

CVideoEncoder::CVideoEncoder() = default;

CVideoEncoder::~CVideoEncoder() {
    Abandon();
}

bool CVideoEncoder::Fail(const std::string& what, int code) {
    m_error = what + (code != 0 ? ": " + AvError(code) : std::string());
    Abandon();
    return false;
}

void CVideoEncoder::Abandon() {
    m_ff.reset();
    if (!m_partialPath.empty()) {
        std::remove(m_partialPath.c_str());
        m_partialPath.clear();
    }
}

bool CVideoEncoder::Open(const std::string& path, const Format& format) {
    QuietLibraries();
    m_path = path;
    m_frames = 0;
    m_hasPicture = false;
    m_error.clear();
    if (format.width < 16 || format.height < 16 || format.width % 2 != 0 || format.height % 2 != 0 ||
        format.fps <= 0) {
        return Fail("cannot encode a video of " + std::to_string(format.width) + "x" +
                        std::to_string(format.height) + " at " + std::to_string(format.fps) + " fps",
                    0);
    }
    if (avcodec_find_encoder_by_name("libx264") == nullptr) {
        return Fail("the FFmpeg libraries of this system have no H.264 encoder (libx264)", 0);
    }
    return CreatePartialFile(path) && OpenStream(format);
}

bool CVideoEncoder::CreatePartialFile(const std::string& path) {
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".partial-%06x", device() & 0xffffffu);
        const std::string candidate = path + suffix;
        // Created here with the usual permissions (the umask's), so that the finished video has them.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_partialPath = candidate;
            return true;
        }
        if (errno != EEXIST) {
            return Fail("cannot write " + path, AVERROR(errno));
        }
    }
    return Fail("cannot write " + path, AVERROR(EEXIST));
}

bool CVideoEncoder::OpenStream(const Format& format) {
    m_ff = std::make_unique<Ffmpeg>();
    Ffmpeg& ff = *m_ff;
    const int ret = avformat_alloc_output_context2(&ff.format, nullptr, "mp4", m_partialPath.c_str());
    if (ret < 0) {
        return Fail("cannot start an MP4 file", ret);
    }
    ff.stream = avformat_new_stream(ff.format, nullptr);
    ff.frame = av_frame_alloc();
    ff.packet = av_packet_alloc();
    if (ff.stream == nullptr || ff.frame == nullptr || ff.packet == nullptr) {
        return Fail("cannot start an MP4 file", AVERROR(ENOMEM));
    }
    return OpenCodec(format) && OpenMuxer() && PrepareConversion(format);
}

bool CVideoEncoder::OpenCodec(const Format& format) {
    Ffmpeg& ff = *m_ff;
    const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
    ff.codec = x264 != nullptr ? avcodec_alloc_context3(x264) : nullptr;
    if (ff.codec == nullptr) {
        return Fail("cannot start the H.264 encoder", AVERROR(ENOMEM));
    }
    AVCodecContext& c = *ff.codec;
    c.width = format.width;
    c.height = format.height;
    c.time_base = AVRational{1, format.fps};
    c.framerate = AVRational{format.fps, 1};
    c.gop_size = format.fps * kKeyFrameSeconds;
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    c.color_range = AVCOL_RANGE_MPEG;
    c.colorspace = AVCOL_SPC_BT709;
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = AVCOL_TRC_BT709;
    if ((ff.format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", kPreset, 0);
    av_dict_set(&options, "crf", kQuality, 0);
    av_dict_set(&options, "profile", "high", 0);
    int ret = avcodec_open2(ff.codec, x264, &options);
    av_dict_free(&options);
    if (ret < 0) {
        return Fail("cannot start the H.264 encoder", ret);
    }
    ret = avcodec_parameters_from_context(ff.stream->codecpar, ff.codec);
    ff.stream->time_base = c.time_base;
    ff.stream->avg_frame_rate = c.framerate;
    return ret >= 0 || Fail("cannot start the H.264 encoder", ret);
}

bool CVideoEncoder::OpenMuxer() {
    Ffmpeg& ff = *m_ff;
    int ret = avio_open(&ff.format->pb, m_partialPath.c_str(), AVIO_FLAG_WRITE);
    AVDictionary* muxing = nullptr;
    // The index goes in front when the file is finished, so players start before it has loaded.
    av_dict_set(&muxing, "movflags", "+faststart", 0);
    ret = ret < 0 ? ret : avformat_write_header(ff.format, &muxing);
    av_dict_free(&muxing);
    return ret >= 0 || Fail("cannot write " + m_path, ret);
}

bool CVideoEncoder::PrepareConversion(const Format& format) {
    Ffmpeg& ff = *m_ff;
    ff.frame->format = AV_PIX_FMT_YUV420P;
    ff.frame->width = format.width;
    ff.frame->height = format.height;
    ff.frame->color_range = ff.codec->color_range;
    ff.frame->colorspace = ff.codec->colorspace;
    const int ret = av_frame_get_buffer(ff.frame, 0);
    ff.scaler = sws_getContext(format.width, format.height, AV_PIX_FMT_RGB32, format.width, format.height,
                               AV_PIX_FMT_YUV420P, kConversion, nullptr, nullptr, nullptr);
    if (ret < 0 || ff.scaler == nullptr) {
        return Fail("cannot convert pictures for the video", ret < 0 ? ret : AVERROR(ENOMEM));
    }
    // Full-range RGB in, BT.709 studio range out, as the stream says.
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(ff.scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    return true;
}

bool CVideoEncoder::WritePicture(const std::uint8_t* pixels, int strideBytes) {
    if (!m_ff) {
        return false;
    }
    Ffmpeg& ff = *m_ff;
    const int ret = av_frame_make_writable(ff.frame);
    if (ret < 0) {
        return Fail("cannot encode the video", ret);
    }
    const std::uint8_t* const planes[1] = {pixels};
    const int strides[1] = {strideBytes};
    sws_scale(ff.scaler, planes, strides, 0, ff.codec->height, ff.frame->data, ff.frame->linesize);
    m_hasPicture = true;
    return SendFrame(false);
}

bool CVideoEncoder::RepeatPicture() {
    if (!m_ff || !m_hasPicture) {
        return false;
    }
    return SendFrame(false);
}

bool CVideoEncoder::SendFrame(bool flush) {
    Ffmpeg& ff = *m_ff;
    if (!flush) {
        ff.frame->pts = m_frames;
    }
    int ret = avcodec_send_frame(ff.codec, flush ? nullptr : ff.frame);
    if (ret < 0) {
        return Fail("cannot encode the video", ret);
    }
    if (!flush) {
        ++m_frames;
    }
    for (;;) {
        ret = avcodec_receive_packet(ff.codec, ff.packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            return true;
        }
        if (ret < 0) {
            return Fail("cannot encode the video", ret);
        }
        av_packet_rescale_ts(ff.packet, ff.codec->time_base, ff.stream->time_base);
        ff.packet->stream_index = ff.stream->index;
        ret = av_interleaved_write_frame(ff.format, ff.packet);
        // A failed write may show only in the output's error state.
        if (ret < 0 || ff.format->pb->error < 0) {
            return Fail("cannot write " + m_path, ret < 0 ? ret : ff.format->pb->error);
        }
    }
}

bool CVideoEncoder::Finish() {
    if (!m_ff || !SendFrame(true)) {
        return false;
    }
    Ffmpeg& ff = *m_ff;
    int ret = av_write_trailer(ff.format);
    if (ret < 0 || ff.format->pb->error < 0) {
        return Fail("cannot write " + m_path, ret < 0 ? ret : ff.format->pb->error);
    }
    ret = avio_closep(&ff.format->pb);
    if (ret < 0) {
        return Fail("cannot write " + m_path, ret);
    }
    m_ff.reset();
    if (std::rename(m_partialPath.c_str(), m_path.c_str()) != 0) {
        return Fail("cannot write " + m_path, AVERROR(errno));
    }
    m_partialPath.clear();
    return true;
}

} // namespace vexar
