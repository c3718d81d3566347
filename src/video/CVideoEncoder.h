#pragma once
// CVideoEncoder: H.264 (x264) in an MP4 file that every player opens: yuv420p, BT.709, the
// index at the front. The file is written under a name of its own beside the one asked for and
// takes that name only when it is whole; a failure, a cancel or the destructor before Finish
// removes it, so no partial video is ever left under the name asked for.

#include <cstdint>
#include <memory>
#include <string>

namespace vexar {

class CVideoEncoder {
public:
    struct Format {
        int width = 1920;  ///< even
        int height = 1080; ///< even
        int fps = 25;
    };

    CVideoEncoder();
    /// Removes the partial file unless Finish succeeded.
    ~CVideoEncoder();
    CVideoEncoder(const CVideoEncoder&) = delete;
    CVideoEncoder& operator=(const CVideoEncoder&) = delete;

    /// Creates the partial file beside `path` and prepares the stream. False, with Error() set
    /// and nothing left on disk, when the folder cannot be written or the encoder is missing.
    bool Open(const std::string& path, const Format& format);
    /// Encodes the next frame from a picture of the format's size, 32-bit 0xffRRGGBB pixels in
    /// rows `strideBytes` apart.
    bool WritePicture(const std::uint8_t* pixels, int strideBytes);
    /// Encodes the next frame as the last picture again.
    bool RepeatPicture();
    /// Ends the stream, puts the index in front and gives the file its name. False, with the
    /// partial file removed, when any of that fails.
    bool Finish();
    /// Stops and removes the partial file (cancel).
    void Abandon();

    /// What failed, said once: "cannot write PATH: REASON".
    const std::string& Error() const { return m_error; }
    std::int64_t FramesWritten() const { return m_frames; }
    /// A picture has been written (RepeatPicture has one to repeat).
    bool HasPicture() const { return m_hasPicture; }

private:
    struct Ffmpeg;
    bool CreatePartialFile(const std::string& path);
    bool OpenStream(const Format& format);
    bool OpenCodec(const Format& format);
    bool OpenMuxer();
    bool PrepareConversion(const Format& format);
    bool SendFrame(bool flush);
    bool Fail(const std::string& what, int code);

    std::unique_ptr<Ffmpeg> m_ff;
    std::string m_path;
    std::string m_partialPath;
    std::string m_error;
    std::int64_t m_frames = 0;
    bool m_hasPicture = false;
};

} // namespace vexar
